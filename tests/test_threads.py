"""The module under threads: every function lets go of the interpreter lock
while the native work runs, so results must not depend on what other threads
do meanwhile, and the two once-built tables must come out right when many
threads need them at the same moment."""
import json
import subprocess
import sys
import threading

import lumora_python_sdk as sdk

from conftest import document_kinds, load_function_cases

THREADS = 8

SIGNERS = [f"sign_{kind}" for kind in document_kinds()] + ["sign", "eth_sign"]


def valid_calls(names, per_function):
    calls = []
    for name, case in load_function_cases():
        if name in names and "result" in case and sum(c[0] == name for c in calls) < per_function:
            calls.append((name, tuple(case["args"])))
    return calls


def run_in_threads(work, n=THREADS):
    """Runs work(i) on n threads released together; returns their results."""
    barrier = threading.Barrier(n)
    results, errors = [None] * n, []

    def body(i):
        try:
            barrier.wait()
            results[i] = work(i)
        except BaseException as e:  # PanicException included: report it, don't lose it
            errors.append(e)

    pool = [threading.Thread(target=body, args=(i,)) for i in range(n)]
    for t in pool:
        t.start()
    for t in pool:
        t.join()
    assert not errors, errors
    return results


def test_concurrent_signing_and_verifying_match_a_single_thread():
    calls = valid_calls(SIGNERS + ["verify_signature", "hash_transfer", "private_key_to_public_key_xy"], 3)
    expected = [getattr(sdk, name)(*args) for name, args in calls]
    # Signatures made here are verified by other threads in the same round.
    signed = [(json.loads(r), args) for (name, args), r in zip(calls, expected) if name == "sign"]

    def work(i):
        order = calls[i % len(calls):] + calls[:i % len(calls)]  # every thread starts elsewhere
        out = {}
        for _ in range(3):
            for name, args in order:
                out.setdefault((name, args), set()).add(getattr(sdk, name)(*args))
            for sig, (key, msg) in signed:
                pair = json.loads(sdk.private_key_to_public_key_xy(key))
                out.setdefault(("self-verify", key, msg), set()).add(
                    sdk.verify_signature(sig["r"], sig["s"], pair["x"], pair["y"], msg))
        return out

    for out in run_in_threads(work):
        for (name, args), result in zip(calls, expected):
            assert out[(name, args)] == {result}, name
        assert all(v == {True} for k, v in out.items() if k[0] == "self-verify")


def test_failures_under_threads_keep_their_own_message():
    # Failing calls run beside succeeding ones; each raises its own exception.
    bad = [(name, tuple(case["args"]), case) for name, case in load_function_cases()
           if case.get("raises") == "ValueError" and case["match"] == "exact"][:6]
    good = valid_calls(["sign_transfer"], 1)[0]
    good_result = sdk.sign_transfer(*good[1])

    def work(i):
        seen = []
        for name, args, case in bad:
            try:
                getattr(sdk, name)(*args)
                seen.append(None)
            except ValueError as e:
                seen.append(str(e))
            assert sdk.sign_transfer(*good[1]) == good_result
        return seen

    for seen in run_in_threads(work):
        assert seen == [case["message"] for _, _, case in bad]


def run_beside_a_waiting_thread(body):
    """Runs body(progressed) on this thread while a helper thread waits for the
    interpreter lock; the helper appends to `progressed` as soon as it gets it.

    The switch interval is made far longer than any run, so the interpreter
    never takes the lock from this thread: the helper can run only where this
    thread lets the lock go itself. Whether it ran during body is read from
    `progressed` inside body, with no clock involved."""
    ready, go = threading.Event(), threading.Event()
    progressed = []

    def helper():
        ready.set()
        go.wait()  # woken below, then waits for the lock
        progressed.append(True)

    previous = sys.getswitchinterval()
    sys.setswitchinterval(1000.0)
    thread = threading.Thread(target=helper)
    try:
        thread.start()
        ready.wait()
        go.set()  # uncontended: this thread keeps the lock
        return body(progressed)
    finally:
        thread.join()
        sys.setswitchinterval(previous)


def test_native_work_runs_without_the_interpreter_lock():
    # A document whose 10 MB unknown member keeps each call in native code for
    # a while; between calls this thread does nothing that lets the lock go.
    oracle = valid_calls(["hash_signed_oracle_price"], 1)[0][1][0]
    big = oracle.rstrip()[:-1] + ', "x": "' + "a" * (10 * 1024 * 1024) + '"}'
    expected = sdk.hash_signed_oracle_price(oracle)

    def native_calls(progressed):
        for calls in range(1, 101):
            assert sdk.hash_signed_oracle_price(big) == expected
            if progressed:
                return calls
        return None

    # Had a call kept the lock, the helper could not have run before all of them returned.
    assert run_beside_a_waiting_thread(native_calls) is not None

    def python_loop(progressed):
        for i in range(200_000):
            if progressed:
                return i
        return None

    # The same set-up around pure Python work: the helper never gets in.
    assert run_beside_a_waiting_thread(python_loop) is None


FIRST_USE = r"""
import json, sys, threading
import lumora_python_sdk as sdk
jobs = json.loads(sys.argv[1])
barrier = threading.Barrier(len(jobs))
results = [None] * len(jobs)
def body(i):
    barrier.wait()
    name, args = jobs[i]
    try:
        results[i] = getattr(sdk, name)(*args)
    except BaseException as e:
        results[i] = "raised " + repr(e)
threads = [threading.Thread(target=body, args=(i,)) for i in range(len(jobs))]
for t in threads: t.start()
for t in threads: t.join()
print(json.dumps(results))
"""


def test_first_use_of_the_tables_from_many_threads_at_once():
    # A fresh process per round, so the tables are built by the racing threads
    # themselves: the first hash builds the Poseidon tables, the first key or
    # signing call the curve parameters; half the threads need each first.
    hashes = valid_calls(["hash_transfer", "hash_limit_order"], 2)
    signs = valid_calls(["sign", "sign_transfer", "private_key_to_public_key_xy", "verify_signature"], 1)
    jobs = [(hashes + signs)[i % (len(hashes) + len(signs))] for i in range(THREADS)]
    expected = [getattr(sdk, name)(*args) for name, args in jobs]
    for _ in range(3):
        out = subprocess.run([sys.executable, "-c", FIRST_USE, json.dumps(jobs)], capture_output=True, text=True,
                             timeout=60)
        assert out.returncode == 0, out.stderr
        assert json.loads(out.stdout) == expected
