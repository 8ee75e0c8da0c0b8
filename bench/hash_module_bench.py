"""Timings of the module's hash functions as Python sees them (document
decoding and call overhead included), and what the first hash in a fresh
process pays for building the Poseidon tables.

Run with the module installed: python bench/hash_module_bench.py
"""
import statistics
import subprocess
import sys
import timeit

import lumora_python_sdk as sdk

PUBLIC_KEY = "0x22e2dfe6dbd8348b0d60158f809f47ad2635d8554e56f7223b303c5c4df66621"
ASSET = "0x0c09862137730edfafbd67f9619699cfe1988ad9f06c144a025b413f8a9a021e"
ORDER = (
    f'{{"nonce":"4640844749278885866","public_key":"{PUBLIC_KEY}","expiration_timestamp":"426413444",'
    f'"amount_synthetic":"3509580991","amount_collateral":"6083828164369547644","amount_fee":"11724904367399116203",'
    f'"asset_id_synthetic":"0x7fffffffffffffff","asset_id_collateral":"{ASSET}","position_id":"13162608722699160672",'
    f'"is_buying_synthetic":true}}'
)
DOCUMENTS = {
    "hash_transfer": (
        f'{{"nonce":"17324573643469579936","public_key":"{PUBLIC_KEY}","expiration_timestamp":"1428914934",'
        f'"sender_position_id":"3639700191","receiver_public_key":"{PUBLIC_KEY}",'
        f'"receiver_position_id":"3443818037","amount":"5855543267441242937","asset_id":"{ASSET}"}}'
    ),
    "hash_withdraw": (
        f'{{"nonce":"3011957340","public_key":"{PUBLIC_KEY}","expiration_timestamp":"3677682317",'
        f'"position_id":"4397236691694877361","amount":"4151662709800159653",'
        f'"eth_address":"0xFB314DA0863043D70A6BE26CFE8B2B79BADA7947","asset_id":"{ASSET}"}}'
    ),
    "hash_limit_order": ORDER,
    "hash_liquidate": (
        f'{{"liquidator_order":{ORDER},"liquidated_position_id":"3989447064398071781",'
        f'"actual_collateral":"1","actual_synthetic":"2","actual_liquidator_fee":"3"}}'
    ),
    "hash_signed_oracle_price": (
        f'{{"signer_key":"{PUBLIC_KEY}","external_price":"340282366920938463463374607431768211455",'
        f'"timestamp":"138574400","signed_asset_id":"{ASSET}"}}'
    ),
}

FIRST_CALL = """
import time
import lumora_python_sdk as sdk
start = time.perf_counter()
sdk.hash_transfer({doc!r})
first = time.perf_counter() - start
start = time.perf_counter()
sdk.hash_transfer({doc!r})
print(first, time.perf_counter() - start)
"""


def first_call_ms(runs=5):
    doc = DOCUMENTS["hash_transfer"]
    firsts, seconds = [], []
    for _ in range(runs):
        out = subprocess.run([sys.executable, "-c", FIRST_CALL.format(doc=doc)], check=True, capture_output=True,
                             text=True).stdout.split()
        firsts.append(float(out[0]) * 1e3)
        seconds.append(float(out[1]) * 1e3)
    return statistics.median(firsts), statistics.median(seconds)


if __name__ == "__main__":
    for name, doc in DOCUMENTS.items():
        getattr(sdk, name)(doc)  # builds the tables; every document must hash
    for name, doc in DOCUMENTS.items():
        fn = getattr(sdk, name)
        number = 2000
        best = min(timeit.repeat(lambda: fn(doc), number=number, repeat=7)) / number
        print(f"{name:28s} {best * 1e6:8.1f} us")
    first, second = first_call_ms()
    print(f"first hash_transfer in a process: {first:.2f} ms (the second: {second:.3f} ms)")
