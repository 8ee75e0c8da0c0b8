"""The benchmark suite: core costs (from core_bench's JSON), the per-call
median of each module function, the first call in a fresh
process, two threads signing against one, and the peers a user would pick
instead, in one run, ending with a summary against the targets.

Run it through scripts/bench.sh, which builds everything first; by hand:
    python bench/suite.py [--core-json FILE] [--quick] [--slow-peers]
"""
import argparse
import json
import os
import pathlib
import platform
import statistics
import subprocess
import sys
import threading
import time
import timeit

import lumora_python_sdk as sdk

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import peers  # noqa: E402
from report import fmt_time, section, table  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parent.parent
VECTORS = ROOT / "tests" / "data" / "functions.json"

# The case each function is timed on: the first known-answer case with this
# tag and a result (not a failure).
TIMED_TAG = {"is_on_curve": "true", "public_key_to_xy": "packed"}


def timed_cases():
    functions = json.loads(VECTORS.read_text())["functions"]
    cases = {}
    for name in sdk.__all__:
        tag = TIMED_TAG.get(name, "valid")
        case = next(c for c in functions[name]["cases"] if c["tag"] == tag and "result" in c)
        assert getattr(sdk, name)(*case["args"]) == case["result"], name
        cases[name] = case["args"]
    return cases


def median_per_call(fn, repeat, target_batch_s):
    """Median over `repeat` batches of the time per call; the batch size is
    chosen so a batch lasts about target_batch_s."""
    fn()
    number = 1
    while True:
        t = timeit.timeit(fn, number=number)
        if t >= target_batch_s / 4 or number >= 1 << 20:
            break
        number *= 4
    number = max(1, int(number * target_batch_s / max(t, 1e-9)))
    return statistics.median(t / number for t in timeit.repeat(fn, number=number, repeat=repeat))


# ---------------------------------------------------------------------------
# Core benchmarks

# Summary label -> (core_bench name, per-item: divide by items per iteration).
CORE_ROWS = [
    ("Fr mul (dependent chain)", "BM_FrMulChain"),
    ("Fs mul (dependent chain)", "BM_FsMulChain"),
    ("Fr inversion (variable time)", "BM_FrInverse"),
    ("Fr inversion (constant time)", "BM_FrInvertCt"),
    ("Fr square root", "BM_FrSqrt"),
    ("Poseidon permutation", "BM_Permutation"),
    ("Poseidon permutation, 64-bit path", "BM_PermutationScalar"),
    ("Poseidon permutation, IFMA path", "BM_PermutationIfma"),
    ("word hasher, 5 elements", "BM_HashFiveElements"),
    ("word hasher, 16 words", "BM_HashSixteenWords"),
    ("fixed-base mul (signing generator)", "BM_MulSigningGeneratorFixedBase"),
    ("variable-base mul (constant time)", "BM_MulVariableBase"),
    ("variable-base mul (variable time)", "BM_MulVariableBaseVar"),
    ("point decoding", "BM_ReadPoint"),
    ("BLAKE2s, 32 bytes personalised", "BM_Blake2sPersonalised"),
    ("SHA-256 compression (dispatched form)", "BM_Sha256Compress/2"),
    ("SHA-256 of a 32-byte digest", "BM_Sha256ChainedDigest/2"),
    ("HMAC-SHA256 nonce step (key, candidate, next K)", "BM_HmacSha256RetryStep/2"),
    ("nonce derivation", "BM_DeterministicSeed"),
    ("Poseidon parameter generation", "BM_ParameterGeneration"),
    ("curve parameter set construction", "BM_BuildParameterSet"),
]

UNIT_S = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load_core(path):
    """core_bench name -> seconds per item (median over repetitions)."""
    if not path or not os.path.exists(path):
        return {}
    data = json.loads(pathlib.Path(path).read_text())
    out = {}
    for b in data["benchmarks"]:
        name = b.get("run_name", b["name"].split("/")[0])
        if b.get("aggregate_name", "median") != "median" or b.get("error_occurred"):
            continue  # skipped ones (such as the IFMA path on a CPU without it) show as missing
        seconds = b["real_time"] * UNIT_S[b.get("time_unit", "ns")]
        if "items_per_second" in b:  # a chain: the time of one link
            seconds = 1.0 / b["items_per_second"]
        out[name] = seconds
    return out


# ---------------------------------------------------------------------------
# First call in a fresh process

FIRST_CALL = r"""
import json, sys, time
args = json.loads(sys.argv[1])
import lumora_python_sdk as sdk
t0 = time.perf_counter(); sdk.hash_transfer(args["hash"]); t1 = time.perf_counter()
sdk.hash_transfer(args["hash"]); t2 = time.perf_counter()
sdk.private_key_to_public_key_xy(args["key"]); t3 = time.perf_counter()
sdk.private_key_to_public_key_xy(args["key"]); t4 = time.perf_counter()
print(json.dumps({"hash_first": t1 - t0, "hash_next": t2 - t1, "key_first": t3 - t2, "key_next": t4 - t3}))
"""

FIRST_SIGN = r"""
import json, sys, time
args = json.loads(sys.argv[1])
import lumora_python_sdk as sdk
t0 = time.perf_counter(); sdk.sign_transfer(*args["sign"]); t1 = time.perf_counter()
print(json.dumps({"sign_first": t1 - t0}))
"""


def first_calls(cases, runs):
    arg = json.dumps({"hash": cases["hash_transfer"][0], "key": cases["private_key_to_public_key_xy"][0],
                      "sign": cases["sign_transfer"]})
    samples = {}
    for script in (FIRST_CALL, FIRST_SIGN):
        for _ in range(runs):
            out = subprocess.run([sys.executable, "-c", script, arg], check=True, capture_output=True, text=True)
            for k, v in json.loads(out.stdout).items():
                samples.setdefault(k, []).append(v)
    return {k: statistics.median(v) for k, v in samples.items()}


# ---------------------------------------------------------------------------
# Threads

def signing_throughput(threads, calls_per_thread, args):
    barrier = threading.Barrier(threads + 1)

    def work():
        barrier.wait()
        for _ in range(calls_per_thread):
            sdk.sign_transfer(*args)

    pool = [threading.Thread(target=work) for _ in range(threads)]
    for t in pool:
        t.start()
    barrier.wait()
    start = time.perf_counter()
    for t in pool:
        t.join()
    return threads * calls_per_thread / (time.perf_counter() - start)


def thread_scaling(args, rounds, calls):
    ratios, one, two = [], [], []
    for _ in range(rounds):
        a = signing_throughput(1, calls, args)
        b = signing_throughput(2, calls, args)
        one.append(a)
        two.append(b)
        ratios.append(b / a)
    return statistics.median(one), statistics.median(two), statistics.median(ratios)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--core-json", help="core_bench output (--benchmark_format=json)")
    ap.add_argument("--quick", action="store_true", help="fewer repetitions, for a smoke run")
    ap.add_argument("--slow-peers", action="store_true", help="also time poseidon-hash (~90 s to set up)")
    opts = ap.parse_args()
    repeat, batch, runs = (5, 0.02, 3) if opts.quick else (15, 0.1, 9)

    commit = subprocess.run(["git", "-C", str(ROOT), "rev-parse", "--short", "HEAD"], capture_output=True,
                            text=True).stdout.strip() or "unknown"
    print(f"# lumora_python_sdk benchmarks: commit {commit}, Python {platform.python_version()}, "
          f"{platform.machine()}, {os.cpu_count()} cores, {time.strftime('%Y-%m-%d %H:%M')}")

    core = load_core(opts.core_json)
    section("Core (core_bench, median of repetitions; chains: one link)")
    if core:
        table(["operation", "core_bench", "time"],
              [(label, name, fmt_time(core.get(name))) for label, name in CORE_ROWS])
    else:
        print("no core_bench results given (--core-json)")

    cases = timed_cases()
    section(f"Module functions (median per call over {repeat} batches, known-answer inputs)")
    module = {name: median_per_call(lambda f=getattr(sdk, name), a=args: f(*a), repeat, batch)
              for name, args in cases.items()}
    table(["function", "per call", "calls/s"], [(n, fmt_time(t), f"{1 / t:,.0f}") for n, t in module.items()])

    section(f"First call in a fresh process (median of {runs} processes)")
    first = first_calls(cases, runs)
    table(["what", "time"], [
        ("first hash_transfer (builds the Poseidon tables)", fmt_time(first["hash_first"])),
        ("second hash_transfer", fmt_time(first["hash_next"])),
        ("first private_key_to_public_key_xy (builds the curve parameter set)", fmt_time(first["key_first"])),
        ("second private_key_to_public_key_xy", fmt_time(first["key_next"])),
        ("first sign_transfer (builds both)", fmt_time(first["sign_first"])),
    ])

    section("Threads: sign_transfer throughput, two threads against one")
    calls = 100 if opts.quick else 400
    one, two, scale = thread_scaling(cases["sign_transfer"], 3 if opts.quick else 5, calls)
    table(["threads", "signatures/s"], [("1", f"{one:,.0f}"), ("2", f"{two:,.0f}"), ("2 vs 1", f"{scale:.2f}×")])

    section("Peers (installed into this environment for benchmarking only)")
    peer_calls, status = peers.load(with_slow=opts.slow_peers)
    table(["package", "what", "usable", "note"], [(d, w, "yes" if ok else "no", n) for d, (ok, n, w) in status.items()])
    peer_times = {key: median_per_call(fn, 5 if key[0] == "zokrates-pycrypto" else repeat,
                                       batch if key[0] != "zokrates-pycrypto" else 0.05)
                  for key, fn in peer_calls.items()}
    print()
    table(["package", "call", "per call"], [(d, n, fmt_time(t)) for (d, n), t in peer_times.items()])

    # Ours against theirs: how many times faster ours is (theirs / ours).
    comparisons = [
        ("sign (raw 32-byte hash)", "sign", ("zokrates-pycrypto", "eddsa_sign"), "Baby Jubjub EdDSA sign"),
        ("sign_transfer (parse + hash + sign)", "sign_transfer", ("zokrates-pycrypto", "eddsa_sign"),
         "Baby Jubjub EdDSA sign"),
        ("verify_signature", "verify_signature", ("zokrates-pycrypto", "eddsa_verify"), "Baby Jubjub EdDSA verify"),
        ("sign (raw 32-byte hash)", "sign", ("coincurve", "ecdsa_sign"), "secp256k1 ECDSA sign"),
        ("verify_signature", "verify_signature", ("coincurve", "ecdsa_verify"), "secp256k1 ECDSA verify"),
        ("hash_transfer (width 9, 1 permutation)", "hash_transfer", ("light-poseidon-python", "poseidon_2_inputs"),
         "Poseidon width 3, 1 permutation (native)"),
        ("hash_transfer (width 9, 1 permutation)", "hash_transfer", ("circomlibpy", "poseidon_5_inputs"),
         "Poseidon width 6, 1 permutation (Python)"),
        ("Poseidon permutation, width 9 (core)", "core:BM_Permutation", ("poseidon-hash", "permutation_width_9"),
         "Poseidon permutation, width 9 (Python)"),
    ]
    rows = []
    for ours_label, ours_key, theirs_key, theirs_label in comparisons:
        ours = core.get(ours_key[5:]) if ours_key.startswith("core:") else module.get(ours_key)
        theirs = peer_times.get(theirs_key)
        if ours is None or theirs is None:
            continue
        rows.append((ours_label, fmt_time(ours), f"{theirs_key[0]}: {theirs_label}", fmt_time(theirs),
                     f"{theirs / ours:,.1f}×"))
    section("Ours against theirs (ratio: how many times faster ours is)")
    table(["ours", "time", "theirs", "time", "ours faster by"], rows)

    # Targets. The permutation and hash_transfer goals depend on whether the
    # CPU has AVX-512 IFMA (the path the process runs then uses it).
    ifma = "avx512ifma" in pathlib.Path("/proc/cpuinfo").read_text() and os.environ.get("LUMORA_CPU") in (None, "", "auto", "ifma")
    eddsa_peer = peer_times.get(("zokrates-pycrypto", "eddsa_sign"))
    targets = [
        ("Fr multiplication", core.get("BM_FrMulChain"), 14e-9, "≤ 14 ns"),
        ("one permutation (the path this CPU runs)", core.get("BM_Permutation"), 14e-6 if ifma else 24e-6,
         "≤ 14 µs" if ifma else "≤ 24 µs"),
        ("one permutation, 64-bit path", core.get("BM_PermutationScalar"), 24e-6, "≤ 24 µs"),
        ("hash_transfer", module["hash_transfer"], 16e-6 if ifma else 26e-6, "≤ 16 µs" if ifma else "≤ 26 µs"),
        ("fixed-base multiplication", core.get("BM_MulSigningGeneratorFixedBase"), 15e-6, "≤ 15 µs"),
        ("variable-base multiplication", core.get("BM_MulVariableBase"), 55e-6, "≤ 55 µs"),
        ("nonce derivation", core.get("BM_DeterministicSeed"), 10e-6, "≤ 10 µs"),
        ("sign_transfer", module["sign_transfer"], 100e-6, "≤ 100 µs"),
        ("verify_signature", module["verify_signature"], 90e-6, "≤ 90 µs"),
    ]
    rows = [(what, fmt_time(v), goal, "—" if v is None else ("met" if v <= limit else "NOT met"))
            for what, v, limit, goal in targets]
    eth_ratio = module["eth_sign"] / module["sign"]
    rows.append(("eth_sign / sign", f"{eth_ratio:.2f}×", "≤ 1.10×", "met" if eth_ratio <= 1.1 else "NOT met"))
    first_call = first["sign_first"]
    rows.append(("first call in a fresh process (sign_transfer)", fmt_time(first_call), "≤ 4 ms",
                 "met" if first_call <= 4e-3 else "NOT met"))
    rows.append(("two threads signing vs one", f"{scale:.2f}×", "≥ 1.9×", "met" if scale >= 1.9 else "NOT met"))
    if eddsa_peer:
        vs = eddsa_peer / module["sign"]
        rows.append(("signing throughput vs zokrates-pycrypto", f"{vs:,.0f}×", "≥ 100×", "met" if vs >= 100 else "NOT met"))
    else:
        rows.append(("signing throughput vs a Baby Jubjub EdDSA package", "—", "≥ 100×", "no package usable"))
    section("Summary: targets")
    table(["target", "measured", "goal", "result"], rows)


if __name__ == "__main__":
    main()
