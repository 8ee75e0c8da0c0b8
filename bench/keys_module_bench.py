"""Timings of the module's key functions as Python sees them (call overhead included).

Run with the module installed: python bench/keys_module_bench.py
"""
import timeit

import lumora_python_sdk as sdk

KEY = "0x02F9672BACC14AD91ED378C64715CC60BEF1C97FAE658AEAD2ED338C530AFAC0"
PACKED = "0x9650e22f84651e461386f388126f5519264efe62bd9ce683af2560478272079b"
X = "0x2677fce3a4569752b38669c49aff247b346b844efb1147708d6fa6a2be4f77a5"
SEED = "a seed of at least thirty-two bytes, for the benchmark"

CALLS = {
    "private_key_to_public_key_xy": lambda: sdk.private_key_to_public_key_xy(KEY),
    "public_key_to_xy": lambda: sdk.public_key_to_xy(PACKED),
    "is_on_curve": lambda: sdk.is_on_curve(PACKED, X),
    "private_key_from_seed": lambda: sdk.private_key_from_seed(SEED),
}

if __name__ == "__main__":
    for call in CALLS.values():
        call()  # builds the shared parameter set
    for name, call in CALLS.items():
        number = 2000
        best = min(timeit.repeat(call, number=number, repeat=7)) / number
        print(f"{name:32s} {best * 1e6:8.1f} us")
