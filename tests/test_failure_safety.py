"""Failures that keep secrets and processes safe: a rejected private key is
never echoed, an echoed input text is cut short, and running out of memory
raises MemoryError from every function, after which the process goes on."""
import json
import random
import subprocess
import sys
import textwrap

import pytest

import lumora_python_sdk as sdk
from conftest import load_function_cases, load_functions, under_address_sanitizer

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


# Every function that reads a private key, as a call with the key given in
# place of that argument of its first valid case.
def key_calls():
    calls = {}
    for name, function in load_functions().items():
        for i, param in enumerate(function["params"]):
            if param in ("pri_key", "private_key"):
                def call(key, name=name, i=i, args=first_valid(name)["args"]):
                    return getattr(sdk, name)(*args[:i], key, *args[i + 1:])
                calls[name] = call
    assert {"sign", "eth_sign", "private_key_to_public_key_xy"} < set(calls)
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


CUT = "\u2026"


def test_an_echoed_input_text_is_cut_after_200_characters(capfd):
    doc = json.loads(first_valid("hash_limit_order")["args"][0])

    def boolean_message(value):
        """The message for a string where the order's boolean belongs."""
        wrong = json.dumps(dict(doc, is_buying_synthetic=value), ensure_ascii=False)
        return str(raised(sdk.hash_limit_order, wrong))

    def shown(value):
        message = boolean_message(value)
        start = message.index('invalid type: string "') + len('invalid type: string "')
        return message[start:message.index('", expected a boolean')]

    # Up to 200 characters, unchanged; beyond, the first 200 and an ellipsis.
    assert shown("b" * 200) == "b" * 200
    assert shown("b" * 201) == "b" * 200 + CUT
    # Characters, not bytes: two-, three- and four-byte ones are never split.
    for ch in ("\u00e9", "\u20ac", "\U0001f600"):
        assert shown("a" + ch * 300) == "a" + ch * 199 + CUT
    # Escaped characters count once, before the message escapes them again.
    assert shown("\n" * 250) == "\\n" * 200 + CUT

    # A hundred megabytes where a boolean belongs: a short message, and a
    # short line on standard error.
    capfd.readouterr()
    message = boolean_message("x" * (100 * 1024 * 1024))
    assert message.startswith('Couldn\'t get hash: invalid type: string "' + "x" * 200 + CUT + '", expected a boolean')
    assert len(message) < 400
    assert len(capfd.readouterr().err) < 500

    # A transfer's document failure is quoted once more inside its abort.
    message = str(raised(sdk.hash_transfer, json.dumps("t" * 100_000)))
    assert message.startswith('called `Result::unwrap()` on an `Err` value: Error("invalid type: string \\"'
                              + "t" * 200 + CUT + '\\", expected struct Transfer"')
    assert len(message) < 400

    # The binding's own messages: a keyword argument's name, a type's name.
    error = raised(sdk.sign, **{"k" * 100_000: "0x1"})
    assert type(error) is TypeError
    assert str(error) == "sign() got an unexpected keyword argument '" + "k" * 200 + CUT + "'"
    error = raised(sdk.hash_withdraw, type("T" * 100_000, (), {})())
    assert type(error) is TypeError
    assert str(error) == "argument 'json': '" + "T" * 200 + CUT + "' object cannot be converted to 'PyString'"
    capfd.readouterr()


# In a process of its own for each function: a valid call, the same function
# under an address-space limit with an input whose handling needs more than
# the limit leaves, then the valid call again.
OUT_OF_MEMORY = textwrap.dedent(
    """
    import json, resource, sys
    import lumora_python_sdk as sdk

    name, valid_args, expected = json.loads(sys.argv[1])
    size = 16 * 1024 * 1024
    if name.startswith(("hash_", "sign_")):
        # A document that is one long string: its message needs a copy of it.
        args = ['"' + "a" * size + '"'] + valid_args[1:]
    else:
        # These copy nothing of their texts; the failing allocation is the
        # UTF-8 form of a text that is stored one byte per character.
        args = ["\\u00e9" * size] * len(valid_args)
    function = getattr(sdk, name)

    def address_space():
        with open("/proc/self/status") as status:
            return next(int(l.split()[1]) * 1024 for l in status if l.startswith("VmSize:"))

    before = function(*valid_args)
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    limit = address_space() + size // 4
    resource.setrlimit(resource.RLIMIT_AS, (limit, hard))
    if resource.getrlimit(resource.RLIMIT_AS)[0] != limit:
        print(json.dumps("unlimited"))  # qemu-user accepts the limit and ignores it
        sys.exit()
    try:
        function(*args)
        outcome = "returned"
    except MemoryError:
        outcome = "MemoryError"
    except BaseException as e:
        outcome = type(e).__name__ + ": " + str(e)[:300]
    finally:
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
    print(json.dumps([before == expected, outcome, function(*valid_args) == expected]))
    """
)


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/status")
@pytest.mark.skipif(under_address_sanitizer(), reason="the sanitizer's own allocations die under the limit")
@pytest.mark.parametrize("name", sorted({name for name, _ in load_function_cases()}))
def test_running_out_of_memory_raises_memory_error(name):
    case = first_valid(name)
    run = subprocess.run([sys.executable, "-c", OUT_OF_MEMORY, json.dumps([name, case["args"], case["result"]])],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    outcome = json.loads(run.stdout)
    if outcome == "unlimited":
        pytest.skip("setting an address-space limit has no effect here (an emulator)")
    assert outcome == [True, "MemoryError", True], run.stderr
