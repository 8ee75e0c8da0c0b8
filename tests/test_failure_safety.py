"""Failures that keep secrets and processes safe: a rejected private key is
never echoed."""
import random

import pytest

import lumora_python_sdk as sdk
from conftest import load_function_cases

L = 2736030358979909402780800718157159386076813972158567259200215660948447373041
WITHHELD = "Cannot convert into prime field value: the private key is not an element of the field"


def first_valid(name):
    return next(case for n, case in load_function_cases() if n == name and "result" in case)


def raised(function, *args, **kwargs):
    try:
        function(*args, **kwargs)
    except BaseException as e:  # noqa: BLE001 - PanicException derives from BaseException
        return e
    pytest.fail(f"{function.__name__} did not raise")


# Every function that reads a private key, as a call with the key given.
def key_calls():
    msg = first_valid("sign")["args"][1]
    calls = {name: (lambda key, name=name, doc=first_valid(name)["args"][0]: getattr(sdk, name)(doc, key))
             for name in ("sign_withdraw", "sign_transfer", "sign_limit_order", "sign_liquidate",
                          "sign_signed_oracle_price")}
    calls["sign"] = lambda key: sdk.sign(key, msg)
    calls["eth_sign"] = lambda key: sdk.eth_sign(key, msg)
    calls["private_key_to_public_key_xy"] = sdk.private_key_to_public_key_xy
    return calls


def test_a_rejected_private_key_is_never_echoed(capfd):
    rng = random.Random(18)
    values = [L, L + 1, 2**256 - 1] + [rng.randrange(L, 2**256) for _ in range(5)]
    for name, call in key_calls().items():
        for value in values:
            digits = f"{value:064x}"
            for text in (f"0x{digits}", digits.upper(), f"0x0x{digits}"):
                error = raised(call, text)
                message = str(error)
                # The two signers whose key failures abort quote the error.
                assert message.endswith((WITHHELD, f'"{WITHHELD}"')), (name, message)
                err = capfd.readouterr().err
                assert WITHHELD in err, name
                for shown in (message, err):
                    assert digits not in shown.lower() and f"{value:x}" not in shown.lower(), (name, shown)
