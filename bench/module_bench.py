"""Per-call cost of the module's hash functions from Python (document decoding
included), and what the first hash in a fresh process pays for building the
Poseidon tables.

Run with the module installed: python bench/module_bench.py
"""
import statistics
import subprocess
import sys
import timeit

import lumora_python_sdk as sdk

TRANSFER = (
    '{"nonce":"17324573643469579936","public_key":"0x22e2dfe6dbd8348b0d60158f809f47ad2635d8554e56f7223b303c5c4df66621",'
    '"expiration_timestamp":"1428914934","sender_position_id":"3639700191",'
    '"receiver_public_key":"0xa88ff92d123d16dbfd0569eb62bed4b96909d0ffe551c0b34f14969ef8a4e55a",'
    '"receiver_position_id":"3443818037","amount":"5855543267441242937",'
    '"asset_id":"0xfc09862137730edfafbd67f9619699cfe1988ad9f06c144a025b413f8a9a021e"}'
)

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


def per_call_us(fn, *args, number=2000, repeat=7):
    fn(*args)  # tables built outside the timing
    runs = timeit.repeat(lambda: fn(*args), number=number, repeat=repeat)
    return min(runs) / number * 1e6, statistics.median(runs) / number * 1e6


def first_call_ms(runs=5):
    firsts, seconds = [], []
    for _ in range(runs):
        out = subprocess.run([sys.executable, "-c", FIRST_CALL.format(doc=TRANSFER)], check=True,
                             capture_output=True, text=True).stdout.split()
        firsts.append(float(out[0]) * 1e3)
        seconds.append(float(out[1]) * 1e3)
    return statistics.median(firsts), statistics.median(seconds)


def main():
    best, median = per_call_us(sdk.hash_transfer, TRANSFER)
    print(f"hash_transfer: {best:.1f} us per call (median of runs {median:.1f} us)")
    first, second = first_call_ms()
    print(f"first hash_transfer in a process: {first:.2f} ms (second call {second:.3f} ms; "
          f"table generation about {first - second:.2f} ms)")


if __name__ == "__main__":
    main()
