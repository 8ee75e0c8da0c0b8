"""The kernel paths side by side, in one run: the installed module and the
kernel_bench_<copy> executables of the same build, as dispatched and with
each path forced by LUMORA_CPU. The paths come from the build's kernel_paths
tool (common/kernel_paths.h lists them); a path this CPU cannot run in full
is left out. Every variant runs in its own process; rounds interleave the
variants so that drifts in machine load hit all of them alike. Within a
process the best batch counts (other processes on a shared machine only ever
add time); figures are medians over rounds, and each ratio is the median of
the ratios within a round.

Run it through scripts/bench.sh, which builds what it needs; by hand:
    python bench/paths.py --build-dir build/bench [--rounds N]
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


def run_module(lumora_cpu, repeat, batch):
    env = dict(os.environ)
    env.pop("LUMORA_CPU", None)
    if lumora_cpu:
        env["LUMORA_CPU"] = lumora_cpu
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


def kernel_paths(tool, lumora_cpu=None, *args):
    """The tool's lines, each split into words."""
    env = dict(os.environ)
    env.pop("LUMORA_CPU", None)
    if lumora_cpu:
        env["LUMORA_CPU"] = lumora_cpu
    out = subprocess.run([str(tool), *args], check=True, capture_output=True, text=True, env=env)
    return [line.split() for line in out.stdout.splitlines()]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build-dir", required=True, help="the benchmark build (kernel_bench_*, core/kernel_paths)")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--quick", action="store_true", help="fewer, shorter rounds, for a smoke run")
    opts = ap.parse_args()
    rounds, repeat, batch, min_time, reps = (3, 3, 0.02, 0.05, 2) if opts.quick else (opts.rounds, 7, 0.05, 0.1, 5)

    build_dir = pathlib.Path(opts.build_dir)
    tool = build_dir / "core" / "kernel_paths"
    # Each path as it is listed (name, copy, extensions at most) and the paths
    # this CPU runs in full: those whose choice here is what the path allows.
    listed = kernel_paths(tool)
    paths = [name for name, *allowed in listed if kernel_paths(tool, name, "--this-cpu")[0] == allowed]
    copy = {name: c for name, c, _ in listed}
    dispatched_copy = kernel_paths(tool, None, "--this-cpu")[0][0]
    # label -> LUMORA_CPU for the module; label -> (executable, LUMORA_CPU) for the core.
    module_variants = {"dispatched": None}
    core_variants = {"dispatched": (build_dir / "bench" / f"kernel_bench_{dispatched_copy}", None)}
    for path in paths:
        module_variants[path] = path
        core_variants[path] = (build_dir / "bench" / f"kernel_bench_{copy[path]}", path)

    module_samples = {v: {f: [] for f in FUNCTIONS} for v in module_variants}
    core_samples = {v: {n: [] for _, n in CORE} for v in core_variants}
    for r in range(rounds):
        print(f"round {r + 1}/{rounds}", file=sys.stderr)
        for label, lumora_cpu in module_variants.items():
            got = run_module(lumora_cpu, repeat, batch)
            for f in FUNCTIONS:
                module_samples[label][f].append(got[f])
        for label, (executable, lumora_cpu) in core_variants.items():
            got = run_core(executable, lumora_cpu, min_time, reps)
            for _, name in CORE:
                core_samples[label][name].append(got[name])

    # (operation, variant -> per-round values)
    samples = [(f, {v: module_samples[v][f] for v in module_samples}) for f in FUNCTIONS]
    samples += [(label, {v: core_samples[v][n] for v in core_samples}) for label, n in CORE]

    print(f"\n## Kernel paths (medians over {rounds} interleaved rounds; the module runs "
          f"'{dispatched_copy}' when dispatched here)\n")
    variants = ["dispatched"] + paths
    table(["operation"] + variants,
          [[name] + [fmt_time(statistics.median(per[v])) for v in variants] for name, per in samples])

    # Each path against the most capable one this CPU runs.
    best = paths[-1]
    ratio_columns = [(f"{p} / {best}", p, best) for p in paths[:-1]]
    if ratio_columns:
        print("\n## Ratios (time / time, median of the per-round ratios)\n")
        table(["operation"] + [c for c, _, _ in ratio_columns],
              [[name] + [f"{statistics.median(x / y for x, y in zip(per[a], per[b])):.3f}"
                         for _, a, b in ratio_columns]
               for name, per in samples])


if __name__ == "__main__":
    main()
