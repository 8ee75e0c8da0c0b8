"""Inputs far beyond any real transaction: a document of 100 MB, a member
nested a million levels deep, key and message texts of 100 MB. Each is either
handled exactly like its small form or refused with the usual exception and a
short message; none may crash, hang or copy the input into the message."""
import hashlib

import pytest

import lumora_python_sdk as sdk
from conftest import load_function_cases

MB = 1024 * 1024
MILLION = 1_000_000
# The order of the Baby Jubjub prime-order subgroup.
L = 0x060C89CE5C263405370A08B6D0302B0BAB3EEDB83920EE0A677297DC392126F1


def first_valid_args(name):
    return next(tuple(case["args"]) for n, case in load_function_cases() if n == name and "result" in case)


def with_member(doc, *member_parts):
    """doc with one more member, the concatenated parts, before its closing
    brace; joined once, so a large member is copied once."""
    end = doc.rstrip().rfind("}")
    return "".join((doc[:end], ',"x":', *member_parts, doc[end:]))


def raised(function, *args):
    try:
        function(*args)
    except BaseException as e:  # PanicException derives from BaseException
        return type(e).__name__, str(e)
    pytest.fail(f"{function.__name__} did not raise")


def test_a_hundred_megabyte_unknown_member_leaves_the_digest_unchanged():
    # Arrays, objects, escaped strings and numbers in bulk, and one long string.
    unit = '"ab\\u00e9\\n\\"", -1.5e3, {"k": [true, null, {}]}, 7, '
    (oracle,) = first_valid_args("hash_signed_oracle_price")
    big = with_member(oracle, "[", unit * (100 * MB // len(unit)), "0]")
    assert len(big) > 100 * MB
    assert sdk.hash_signed_oracle_price(big) == sdk.hash_signed_oracle_price(oracle)
    del big

    (withdrawal,) = first_valid_args("hash_withdraw")
    big = with_member(withdrawal, '"', "s" * (100 * MB), '"')
    assert sdk.hash_withdraw(big) == sdk.hash_withdraw(withdrawal)


def test_a_member_nested_a_million_deep_is_skipped_when_dropped_and_refused_when_kept():
    deep_array = "[" * MILLION + "]" * MILLION
    deep_object = '{"a":' * MILLION + "1" + "}" * MILLION
    # Oracle prices and liquidations drop unknown members unread: any depth.
    for name in ("hash_signed_oracle_price", "hash_liquidate"):
        (doc,) = first_valid_args(name)
        for deep in (deep_array, deep_object):
            assert getattr(sdk, name)(with_member(doc, deep)) == getattr(sdk, name)(doc), name

    # Transfers, withdrawals and limit orders read unknown members beside the
    # common order fields, 127 levels deep at most.
    for name, kind, message in [
        ("hash_withdraw", "PanicException", "Couldn't get hash: recursion limit exceeded at line 1 column {}"),
        ("hash_limit_order", "PanicException", "Couldn't get hash: recursion limit exceeded at line 1 column {}"),
        ("hash_transfer", "PanicException", 'called `Result::unwrap()` on an `Err` value: '
                                            'Error("recursion limit exceeded", line: 1, column: {})'),
    ]:
        (doc,) = first_valid_args(name)
        assert "\n" not in doc
        prefix = with_member(doc, "")[:doc.rstrip().rfind("}") + len(',"x":')]
        # Refused on reading the opening bracket of level 128 (the record is level 1).
        for deep, step in ((deep_array, len("[")), (deep_object, len('{"a":'))):
            assert raised(getattr(sdk, name), with_member(doc, deep)) == (
                kind, message.format(len(prefix) + 126 * step + 1)), name


def test_hundred_megabyte_key_and_message_texts_fail_cleanly():
    key, msg = first_valid_args("sign")
    # As a key, too long; as a hash text, too long as well.
    huge_key = huge_msg = "0x" + "1" * (100 * MB)
    (withdrawal, _) = first_valid_args("sign_withdraw")
    size = "Incorrect input size. Actual: 52428800, expected: 32"
    length = "Invalid string length"
    cases = [
        (sdk.sign, (huge_key, msg), "ValueError", f"Couldn't sign msg: {size}"),
        (sdk.sign, (key, huge_msg), "ValueError", f"Couldn't sign msg: {length}\n\nCaused by:\n    {length}"),
        (sdk.eth_sign, (key, huge_msg), "ValueError", f"Couldn't sign msg: {length}\n\nCaused by:\n    {length}"),
        (sdk.sign_withdraw, (withdrawal, huge_key), "ValueError",
         f'called `Result::unwrap()` on an `Err` value: "{size}"'),
        (sdk.private_key_to_public_key_xy, (huge_key,), "PanicException",
         f"Couldn't convert private key to public key xy: {size}"),
        (sdk.public_key_to_xy, (huge_key,), "PanicException",
         f"Couldn't convert public key to xy: {length}\n\nCaused by:\n    0: {length}\n    1: {length}"),
        (sdk.is_on_curve, (huge_key, "0x1"), "PanicException",
         f"Couldn't get verify xy is on curve: {length}\n\nCaused by:\n    0: {length}\n    1: {length}"),
        (sdk.verify_signature, ("0x1", "0x1", "0x1", "0x1", huge_msg), "ValueError",
         f"Couldn't get verify_signature result: {length}\n\nCaused by:\n    {length}"),
    ]
    for function, args, kind, message in cases:
        assert raised(function, *args) == (kind, message), function.__name__


def test_a_hundred_megabyte_seed_derives_its_key():
    seed = "seed " * (20 * MB)
    digest = hashlib.sha256(seed.encode()).digest()
    while int.from_bytes(digest, "big") >= L:
        digest = hashlib.sha256(digest).digest()
    assert sdk.private_key_from_seed(seed) == "0x" + digest.hex()
