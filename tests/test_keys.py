"""Key functions through the module: the pair texts agree with each other for derived keys."""
import json

from hypothesis import given, settings
from hypothesis import strategies as st

import lumora_python_sdk as sdk


@settings(max_examples=40, deadline=None)
@given(st.text(min_size=32))
def test_seed_key_and_public_key_pair_agree(seed):
    key = sdk.private_key_from_seed(seed)
    assert len(key) == 66 and key.startswith("0x") and key == key.lower()
    pair = json.loads(sdk.private_key_to_public_key_xy(key))
    assert len(pair["x"]) == 66 and len(pair["y"]) == 66
    assert sdk.public_key_to_xy(pair["x"]) == sdk.private_key_to_public_key_xy(key.upper().replace("0X", "0x", 1))
    assert sdk.is_on_curve(pair["x"], pair["y"]) is True
    assert sdk.is_on_curve(y=pair["y"], x=pair["x"]) is True
    assert sdk.is_on_curve(pair["x"], pair["y"].upper()) is (pair["y"][2:] == pair["y"][2:].upper())


def test_key_failures_are_panics_not_exceptions():
    for call in (lambda: sdk.private_key_from_seed("short"),
                 lambda: sdk.private_key_to_public_key_xy("0x12"),
                 lambda: sdk.public_key_to_xy("0xzz"),
                 lambda: sdk.is_on_curve("0x" + "f" * 64, "0x0")):
        try:
            call()
        except Exception:  # noqa: BLE001 - a plain Exception here would be the fault
            raise AssertionError("key failures must not be catchable as Exception")
        except BaseException as e:  # noqa: BLE001
            assert type(e).__name__ == "PanicException"
        else:
            raise AssertionError("no failure")
