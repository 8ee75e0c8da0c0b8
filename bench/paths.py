"""The kernel paths side by side, in one run: the dispatched build (the
installed module, and kernel_bench_<path> of the same build) against the
build tuned for this machine (LUMORA_HOST_TUNED: everything compiled for
BMI2/ADX, no run-time choice), and each path of the dispatched build forced
with LUMORA_CPU. Every variant runs in its own process; rounds interleave the
variants so that drifts in machine load hit all of them alike. Within a
process the best batch counts (other processes on a shared machine only ever
add time); figures are medians over rounds, and each ratio is the median of
the ratios within a round.

Run it through scripts/bench.sh, which builds both; by hand:
    python bench/paths.py --bench-dir build/bench/bench --tuned-dir build/bench-tuned [--rounds N]
"""
import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys

from report import fmt_time, table

ROOT = pathlib.Path(__file__).resolve().parent.parent
VECTORS = ROOT / "tests" / "data" / "functions.json"
FUNCTIONS = ["hash_transfer", "sign_transfer", "verify_signature"]
CORE = [("Fr multiplication", "BM_FrMulChain"), ("Poseidon permutation", "BM_Permutation")]
PATHS = ["portable", "baseline", "adx", "ifma"]
# The core's copy behind each path: the IFMA permutation is a run-time choice
# inside the MULX/ADX copy.
COPY = {"portable": "portable", "baseline": "baseline", "adx": "adx", "ifma": "adx"}

# Times each function on its first valid known-answer case; prints the
# per-call time of the best batch (seconds) and the module's file as JSON.
TIMER = r"""
import json, sys, timeit
import lumora_python_sdk as sdk
names, repeat, batch = json.loads(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
functions = json.loads(open(sys.argv[4]).read())["functions"]
out = {"module": sdk.__file__}
for name in names:
    case = next(c for c in functions[name]["cases"] if c["tag"] == "valid" and "result" in c)
    fn, args = getattr(sdk, name), case["args"]
    assert fn(*args) == case["result"], name
    number = max(1, int(batch / timeit.timeit(lambda: fn(*args), number=20) * 20))
    out[name] = min(t / number for t in timeit.repeat(lambda: fn(*args), number=number, repeat=repeat))
print(json.dumps(out))
"""


def run_module(pythonpath, lumora_cpu, repeat, batch):
    env = dict(os.environ)
    env.pop("LUMORA_CPU", None)
    if lumora_cpu:
        env["LUMORA_CPU"] = lumora_cpu
    if pythonpath:
        env["PYTHONPATH"] = str(pythonpath) + os.pathsep + env.get("PYTHONPATH", "")
    out = subprocess.run([sys.executable, "-c", TIMER, json.dumps(FUNCTIONS), str(repeat), str(batch), str(VECTORS)],
                         check=True, capture_output=True, text=True, env=env)
    return json.loads(out.stdout)


def run_core(executable, lumora_cpu, min_time, repetitions):
    names = "|".join(name for _, name in CORE)
    env = dict(os.environ)
    env.pop("LUMORA_CPU", None)
    if lumora_cpu:
        env["LUMORA_CPU"] = lumora_cpu
    out = subprocess.run([str(executable), f"--benchmark_filter=^({names})$", "--benchmark_format=json",
                          f"--benchmark_min_time={min_time}", f"--benchmark_repetitions={repetitions}"],
                         check=True, capture_output=True, text=True, env=env)
    result = {}
    for b in json.loads(out.stdout)["benchmarks"]:
        if b.get("run_type") == "aggregate":
            continue
        if "items_per_second" in b:  # a chain: the time of one link
            t = 1.0 / b["items_per_second"]
        else:
            t = b["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
        result[b["run_name"]] = min(t, result.get(b["run_name"], t))
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bench-dir", required=True, help="the dispatched build's bench folder (kernel_bench_*)")
    ap.add_argument("--tuned-dir", required=True, help="the LUMORA_HOST_TUNED build folder")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--quick", action="store_true", help="fewer, shorter rounds, for a smoke run")
    opts = ap.parse_args()
    rounds, repeat, batch, min_time, reps = (3, 3, 0.02, 0.05, 2) if opts.quick else (opts.rounds, 7, 0.05, 0.1, 5)

    bench_dir, tuned_dir = pathlib.Path(opts.bench_dir), pathlib.Path(opts.tuned_dir)
    tuned_module_dir = tuned_dir / "binding"
    # label -> (pythonpath, LUMORA_CPU) for the module; label -> executable for the core.
    module_variants = {"dispatched": (None, None), "tuned": (tuned_module_dir, None)}
    # label -> (executable, LUMORA_CPU)
    core_variants = {"tuned": (tuned_dir / "bench" / "kernel_bench_adx", None)}
    for path in PATHS:
        module_variants[path] = (None, path)
        core_variants[path] = (bench_dir / f"kernel_bench_{COPY[path]}", path)
    # The dispatched core is the copy the dispatch picks here: the best path that runs.
    has_ifma = "avx512ifma" in pathlib.Path("/proc/cpuinfo").read_text()
    runnable = [p for p in PATHS if (p != "ifma" or has_ifma) and subprocess.run(
        [str(core_variants[p][0]), "--benchmark_list_tests"], capture_output=True).returncode == 0]
    core_variants["dispatched"] = (core_variants[runnable[-1]][0], None)
    for path in PATHS:
        if path not in runnable:
            del core_variants[path], module_variants[path]

    module_samples = {v: {f: [] for f in FUNCTIONS} for v in module_variants}
    core_samples = {v: {n: [] for _, n in CORE} for v in core_variants}
    for r in range(rounds):
        print(f"round {r + 1}/{rounds}", file=sys.stderr)
        for label, (pythonpath, lumora_cpu) in module_variants.items():
            got = run_module(pythonpath, lumora_cpu, repeat, batch)
            want_tuned = pythonpath is not None
            if (pathlib.Path(got["module"]).parent == tuned_module_dir.resolve()) != want_tuned:
                sys.exit(f"{label}: imported {got['module']}")
            for f in FUNCTIONS:
                module_samples[label][f].append(got[f])
        for label, (executable, lumora_cpu) in core_variants.items():
            got = run_core(executable, lumora_cpu, min_time, reps)
            for _, name in CORE:
                core_samples[label][name].append(got[name])

    # (operation, variant -> per-round values)
    samples = [(f, {v: module_samples[v][f] for v in module_samples}) for f in FUNCTIONS]
    samples += [(label, {v: core_samples[v][n] for v in core_samples}) for label, n in CORE]

    print(f"\n## Kernel paths (medians over {rounds} interleaved rounds; the dispatched build runs "
          f"'{runnable[-1]}' here)\n")
    variants = ["dispatched", "tuned"] + [p for p in PATHS if p in runnable]
    table(["operation"] + variants,
          [[name] + [fmt_time(statistics.median(per[v])) for v in variants] for name, per in samples])

    print("\n## Ratios (time / time, median of the per-round ratios)\n")
    ratio_columns = [("dispatched / tuned", "dispatched", "tuned")]
    if "adx" in runnable:
        ratio_columns += [("portable / adx", "portable", "adx"), ("baseline / adx", "baseline", "adx")]
    if "ifma" in runnable:
        ratio_columns += [("ifma / adx", "ifma", "adx")]
    table(["operation"] + [c for c, _, _ in ratio_columns],
          [[name] + [f"{statistics.median(x / y for x, y in zip(per[a], per[b])):.3f}" for _, a, b in ratio_columns]
           for name, per in samples])

if __name__ == "__main__":
    main()
