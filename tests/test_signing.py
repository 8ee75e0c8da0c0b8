"""Signing and verification through the module: properties that tie the functions together."""
import json

import pytest
from hypothesis import given, settings, strategies as st

import lumora_python_sdk as sdk
from conftest import document_kinds, load_function_cases

L = 2736030358979909402780800718157159386076813972158567259200215660948447373041
KEY = sdk.private_key_from_seed("a seed of at least thirty-two bytes, for the tests")
PAIR = json.loads(sdk.private_key_to_public_key_xy(KEY))
PACKED, X = PAIR["x"], PAIR["y"]

hashes = st.integers(min_value=0, max_value=2**256 - 1).map(lambda v: "0x" + format(v, "064x"))


def first_valid(name):
    return next(c["args"] for n, c in load_function_cases() if n == name and "result" in c)


@settings(max_examples=25, deadline=None)
@given(hashes)
def test_sign_verifies_and_matches_eth_sign(digest):
    plain = json.loads(sdk.sign(KEY, digest))
    assert sdk.sign(KEY, digest) == json.dumps(plain, separators=(",", ":"))  # deterministic, compact
    assert sdk.verify_signature(plain["r"], plain["s"], PACKED, X, digest)
    # The same R and s through eth_sign; pk_x and pk_y are the key's pair.
    l1 = json.loads(sdk.eth_sign(KEY, digest))
    assert all(len(v) == 66 for v in l1.values())
    assert l1["s"] == plain["s"]
    assert (l1["pk_x"], l1["pk_y"]) == (PACKED, X)
    # Packing (x, y) gives r: y in the low bits, x's parity in bit 255.
    packed_r = int(l1["y"], 16) | ((int(l1["x"], 16) & 1) << 255)
    assert "0x" + format(packed_r, "064x") == plain["r"]


def test_verify_rejects_alterations_without_failing():
    digest = "0x" + "5a" * 32
    sig = json.loads(sdk.sign(KEY, digest))
    other = "0x" + "5b" * 32
    assert sdk.verify_signature(sig["r"], sig["s"], PACKED, X, digest)
    assert not sdk.verify_signature(sig["r"], sig["s"], PACKED, X, other)
    s_plus_one = "0x" + format(int(sig["s"], 16) + 1, "064x")
    assert not sdk.verify_signature(sig["r"], s_plus_one, PACKED, X, digest)
    other_key = json.loads(sdk.private_key_to_public_key_xy("0x" + "00" * 31 + "07"))["x"]
    assert not sdk.verify_signature(sig["r"], sig["s"], other_key, X, digest)
    # R of order two: (0, -1) packs as y = p - 1, x even.
    p = 21888242871839275222246405745257275088548364400416034343698204186575808495617
    assert not sdk.verify_signature("0x" + format(p - 1, "064x"), sig["s"], PACKED, X, digest)
    # Any pub_key_y, and prefixes on r and s, are accepted.
    assert sdk.verify_signature("0X" + sig["r"][2:], sig["s"][2:], PACKED, "ignored", digest)


def test_verify_aborts_become_value_errors():
    digest = "0x" + "5a" * 32
    sig = json.loads(sdk.sign(KEY, digest))
    with pytest.raises(ValueError, match=r"^called `Result::unwrap\(\)` on an `Err` value: NotInField"):
        sdk.verify_signature(sig["r"], "0x" + format(L, "064x"), PACKED, X, digest)
    with pytest.raises(ValueError, match=r"RestoreRPoint\(Custom \{ kind: InvalidInput, error: \"y is not in field\" \}\)"):
        sdk.verify_signature("0x" + "7f" + "ff" * 31, sig["s"], PACKED, X, digest)


def test_liquidation_is_signed_as_its_order():
    document = first_valid("sign_liquidate")[0]
    order = json.dumps(json.loads(document)["liquidator_order"])
    assert sdk.sign_liquidate(document, KEY) == sdk.sign_limit_order(order, KEY)
    assert sdk.hash_liquidate(document) == sdk.hash_limit_order(order)


@pytest.mark.parametrize("kind", document_kinds())
def test_transaction_signature_signs_its_digest(kind):
    document = first_valid(f"sign_{kind}")[0]
    digest = getattr(sdk, f"hash_{kind}")(document)
    signature = getattr(sdk, f"sign_{kind}")(document, KEY)
    assert signature == sdk.sign(KEY, digest)


def test_eth_sign_reports_the_key_before_the_hash():
    with pytest.raises(ValueError) as info:
        sdk.eth_sign("0x123", "0xnot a hash")
    assert str(info.value) == "Couldn't sign msg: Odd number of digits"
    with pytest.raises(ValueError) as info:
        sdk.sign("0x123", "0xnot a hash")
    assert str(info.value).startswith("Couldn't sign msg: Invalid character 'n' at position 0")


def test_key_failures_by_kind():
    withdraw = first_valid("sign_withdraw")[0]
    order = first_valid("sign_limit_order")[0]
    with pytest.raises(ValueError, match=r"^called `Result::unwrap\(\)` on an `Err` value: \"Odd number of digits\"$"):
        sdk.sign_withdraw(withdraw, "0x1")
    with pytest.raises(ValueError, match=r"^Couldn get jubjubSignature: Odd number of digits$"):
        sdk.sign_limit_order(order, "0x1")
