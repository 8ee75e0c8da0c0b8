"""No call leaks Python objects: results, exceptions and their messages are all released.

tracemalloc sees every Python object the module creates (strings, exceptions,
their arguments), so repeating each call on its success and failure paths must
leave the traced memory where it was.
"""
import gc
import tracemalloc

import lumora_python_sdk as sdk
from conftest import load_function_cases

ROUNDS = 300


def call_every_case():
    for name, case in load_function_cases():
        try:
            getattr(sdk, name)(*case["args"])
        except BaseException:  # noqa: BLE001 - failures are part of what is exercised
            pass
    for bad in [lambda: sdk.sign(), lambda: sdk.hash_transfer(b"{}"), lambda: sdk.sign_transfer("{}", json="{}"),
                lambda: sdk.is_on_curve(x="1", z="2"), lambda: sdk.hash_withdraw("\ud800")]:
        try:
            bad()
        except BaseException:  # noqa: BLE001
            pass


def test_repeated_calls_do_not_grow_memory():
    call_every_case()  # first calls build the shared tables and the exception class
    gc.collect()
    tracemalloc.start()
    try:
        call_every_case()
        gc.collect()
        before = tracemalloc.get_traced_memory()[0]
        for _ in range(ROUNDS // 30):
            call_every_case()
        gc.collect()
        after = tracemalloc.get_traced_memory()[0]
    finally:
        tracemalloc.stop()
    # About 3,800 calls; a leaked string or exception per call would add
    # hundreds of kilobytes.
    assert after - before < 16 * 1024, f"traced memory grew by {after - before} bytes"
