"""Times module functions in two or more builds side by side, interleaved.

Each build is an interpreter with the module installed (a virtual
environment's python). Every round times every function once in every build,
in turn, so machine load hits them alike; the ratios are what to read, not
the absolute times. Both the median and the best round are shown: on a
loaded machine the best round is the steadier of the two.

    python bench/compare_builds.py --rounds 7 NAME=PYTHON NAME=PYTHON ...

The first build is the reference of the ratios.
"""
import argparse
import json
import pathlib
import statistics
import subprocess

VECTORS = pathlib.Path(__file__).resolve().parent.parent / "tests" / "data" / "functions.json"

# Run in the build's interpreter: the processor time per call of each
# function, as the median of a few batches of about `batch` seconds. Processor
# time, not wall time: on a shared machine it leaves out the time the process
# waits for a processor.
TIMER = r"""
import json, statistics, sys, time, timeit
import lumora_python_sdk as sdk
cases, batch = json.loads(sys.argv[1]), float(sys.argv[2])
out = {}
for name, args in cases.items():
    timer = timeit.Timer(lambda: getattr(sdk, name)(*args), timer=time.process_time)
    number = max(1, int(batch / max(timer.timeit(number=20) / 20, 1e-9)))
    out[name] = statistics.median(t / number for t in timer.repeat(number=number, repeat=3))
print(json.dumps(out))
"""


def valid_case(functions, name):
    return next(c["args"] for c in functions[name]["cases"] if "result" in c)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("builds", nargs="+", help="NAME=PYTHON")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--batch", type=float, default=0.05, help="seconds per timed batch")
    ap.add_argument("--functions", default="hash_transfer,sign_transfer,verify_signature")
    opts = ap.parse_args()

    builds = [b.split("=", 1) for b in opts.builds]
    functions = json.loads(VECTORS.read_text())["functions"]
    cases = {name: valid_case(functions, name) for name in opts.functions.split(",")}
    times = {name: {fn: [] for fn in cases} for name, _ in builds}
    for _ in range(opts.rounds):
        for name, python in builds:
            run = subprocess.run([python, "-c", TIMER, json.dumps(cases), str(opts.batch)], capture_output=True,
                                 text=True, check=True)
            for fn, t in json.loads(run.stdout).items():
                times[name][fn].append(t)

    ref = builds[0][0]
    for label, pick in (("median", statistics.median), ("best", min)):
        print(f"{label} of {opts.rounds} interleaved rounds; ratio against {ref}")
        print(f"{'function':<20}" + "".join(f"{name:>22}" for name, _ in builds))
        for fn in cases:
            base = pick(times[ref][fn])
            cells = []
            for name, _ in builds:
                m = pick(times[name][fn])
                cells.append(f"{m * 1e6:9.1f} µs {m / base:6.2f}×")
            print(f"{fn:<20}" + "".join(f"{c:>22}" for c in cells))


if __name__ == "__main__":
    main()
