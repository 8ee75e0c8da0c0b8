"""Transaction documents as Python callers see them: the texts and exception types of rejected
documents, and the same digest for every spelling of an accepted one."""
import json

import pytest

import lumora_python_sdk as sdk
from conftest import load_function_cases


WITHDRAW = {
    "position_id": "1", "amount": "2", "eth_address": "0x3", "asset_id": "0x4",
    "nonce": "5", "public_key": "0x6", "expiration_timestamp": "7",
}
TRANSFER = {
    "sender_position_id": "1", "receiver_public_key": "0x2", "receiver_position_id": "3", "amount": "4",
    "asset_id": "0x5", "nonce": "6", "public_key": "0x7", "expiration_timestamp": "8",
}
ORDER = {
    "amount_synthetic": "1", "amount_collateral": "2", "amount_fee": "3", "asset_id_synthetic": "0x4",
    "asset_id_collateral": "0x5", "position_id": "6", "is_buying_synthetic": True,
    "nonce": "7", "public_key": "0x8", "expiration_timestamp": "9",
}


def compact(record, **changes):
    doc = {k: v for k, v in record.items() if k not in changes or changes[k] is not None}
    doc.update({k: v for k, v in changes.items() if v is not None})
    return json.dumps(doc, separators=(",", ":"), ensure_ascii=False)


def raised(fn, doc):
    with pytest.raises(BaseException) as info:
        fn(doc)
    return type(info.value).__name__, str(info.value)


def test_error_values_reach_python_as_panics_with_context():
    no_amount = compact(WITHDRAW, amount=None)
    not_boolean = compact(ORDER, is_buying_synthetic="true")[:-1] + " }"
    short_liquidation = json.dumps([ORDER, "1", "2", "3"])
    cases = [
        (sdk.hash_withdraw, no_amount, f"missing field `amount` at line 1 column {len(no_amount)}"),
        (sdk.hash_withdraw, "", "EOF while parsing a value at line 1 column 0"),
        (sdk.hash_withdraw, "   ", "EOF while parsing a value at line 1 column 3"),
        (sdk.hash_withdraw, compact(WITHDRAW) + " {}",
         f"trailing characters at line 1 column {len(compact(WITHDRAW)) + 2}"),
        (sdk.hash_limit_order, not_boolean, 'invalid type: string "true", expected a boolean at line 1 column '
         + str(not_boolean.index('"true"') + 6)),
        (sdk.hash_liquidate, short_liquidation,
         f"invalid length 4, expected struct Liquidate with 5 elements at line 1 column {len(short_liquidation)}"),
        (sdk.hash_signed_oracle_price, '["1", "2", "3", "4", "5"]', "trailing characters at line 1 column 22"),
        (sdk.hash_signed_oracle_price, '{"timestamp": 3}', "invalid type: integer `3`, expected a string at line 1 column 15"),
    ]
    for fn, doc, message in cases:
        kind, text = raised(fn, doc)
        assert (kind, text) == ("PanicException", "Couldn't get hash: " + message), doc


def test_panics_are_not_exceptions():
    try:
        sdk.hash_withdraw("[]")
    except Exception:  # noqa: BLE001
        pytest.fail("a PanicException must pass through `except Exception`")
    except BaseException as e:  # noqa: BLE001
        assert type(e).__module__ == "pyo3_runtime"
        assert str(e) == "Couldn't get hash: invalid type: sequence, expected struct WithdrawRequest at line 1 column 0"


def test_transfer_rejections_unwrap_the_debug_form():
    no_nonce = compact(TRANSFER, nonce=None)
    assert raised(sdk.hash_transfer, no_nonce) == (
        "PanicException",
        f'called `Result::unwrap()` on an `Err` value: Error("missing field `nonce`", line: 1, column: {len(no_nonce)})',
    )
    # The message is quoted again inside the debug form, on the line where the fault is.
    doc = '{\n  "amount": "4",\n  "asset_id": "say \\"hi\\"\\\\",\n  "nonce": "1"\n}'
    assert raised(sdk.hash_transfer, doc) == (
        "PanicException",
        "called `Result::unwrap()` on an `Err` value: "
        "Error(\"u256 from string error: Invalid character 's' at position 1\", line: 3, column: 28)",
    )
    assert raised(sdk.hash_transfer, '"a\\"b"') == (
        "PanicException",
        "called `Result::unwrap()` on an `Err` value: "
        r'Error("invalid type: string \"a\\\"b\", expected struct Transfer", line: 1, column: 6)',
    )


def test_columns_count_utf8_bytes():
    doc = '{"caf\u00e9 \U0001f600": [], "amount": "x" }'
    assert raised(sdk.hash_withdraw, doc)[1] == (
        "Couldn't get hash: u64 from string error: invalid digit found in string at line 1 column 33"
    )
    assert len(doc) == 30 and len(doc.encode()) == 34


def test_deep_dropped_member_is_fine_and_deep_kept_member_is_not():
    oracle = {"signer_key": "0x1", "external_price": "2", "timestamp": "3", "signed_asset_id": "0x4"}
    deep = "[" * 100_000 + "]" * 100_000
    plain = sdk.hash_signed_oracle_price(json.dumps(oracle))
    assert sdk.hash_signed_oracle_price(json.dumps(oracle)[:-1] + ', "x": ' + deep + "}") == plain
    prefix = compact(WITHDRAW)[:-1] + ',"x":'
    kind, text = raised(sdk.hash_withdraw, prefix + deep + "}")
    assert (kind, text) == ("PanicException",
                            f"Couldn't get hash: recursion limit exceeded at line 1 column {len(prefix) + 127}")


def _respelled(doc):
    """The same record written differently: reversed member order, indentation, escaped keys,
    unknown members of every kind (including a "base" object), and unknown members repeated."""
    def respell(value):
        if isinstance(value, dict):
            items = [(k, respell(v)) for k, v in reversed(list(value.items()))]
            items += [("base", {"nonce": "1"}), ("extra", [1, -2.5, None, {"a": "\u00e9"}]), ("extra", True)]
            return items
        if isinstance(value, list):
            return [respell(v) for v in value]
        return value

    def write(value, indent=0):
        pad = "\n" + "  " * (indent + 1)
        if isinstance(value, list) and value and isinstance(value[0], tuple):
            members = [json.dumps(k).replace("n", "\\u006e") + " : " + write(v, indent + 1) for k, v in value]
            return "{" + pad + ("," + pad).join(members) + "\n" + "  " * indent + "}"
        if isinstance(value, list):
            return "[ " + " ,\t".join(write(v, indent + 1) for v in value) + " ]"
        return json.dumps(value)

    return "\r\n " + write(respell(json.loads(doc))) + " \n"


HASH_CASES = [(name, case) for name, case in load_function_cases()
              if name.startswith("hash_") and "result" in case]


@pytest.mark.parametrize("name, case", HASH_CASES, ids=[f"{n}-{c['tag']}" for n, c in HASH_CASES])
def test_any_spelling_of_a_document_gives_the_same_digest(name, case):
    assert getattr(sdk, name)(_respelled(case["args"][0])) == case["result"]
