"""Two builds of the module side by side in one process: for instance the abi3
(stable ABI) module against a full-API one, or two kernel choices. Each round
times every function on both builds, one right after the other, so machine
noise hits both alike; the result is the median over rounds of the per-round
ratio B/A, and the ratio of the two builds' fastest batches.

    python bench/compare_modules.py A.so B.so [--functions hash_transfer,verify_signature]
        [--rounds 15] [--batch 0.05] [--clock wall|cpu]
"""
import argparse
import importlib.machinery
import importlib.util
import json
import pathlib
import statistics
import time
import timeit

ROOT = pathlib.Path(__file__).resolve().parent.parent
VECTORS = ROOT / "tests" / "data" / "functions.json"


def load(path):
    """The module in `path`, under its own name; each file has its own state,
    so two builds load into one interpreter."""
    loader = importlib.machinery.ExtensionFileLoader("lumora_python_sdk", str(path))
    spec = importlib.util.spec_from_file_location("lumora_python_sdk", str(path), loader=loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


def first_valid_case(name):
    cases = json.loads(VECTORS.read_text())["functions"][name]["cases"]
    return next(c for c in cases if "result" in c)


def calls_per_batch(fn, seconds, timer):
    number = 1
    while timeit.timeit(fn, number=number, timer=timer) < seconds / 4:
        number *= 2
    return number * 4


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("a", type=pathlib.Path)
    parser.add_argument("b", type=pathlib.Path)
    parser.add_argument("--functions", default="hash_transfer,verify_signature")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--batch", type=float, default=0.05, help="seconds per timed batch")
    parser.add_argument("--clock", choices=["wall", "cpu"], default="wall",
                        help="cpu: this thread's processor time, which time spent preempted does not count")
    args = parser.parse_args()
    timer = time.perf_counter if args.clock == "wall" else time.thread_time

    builds = [load(args.a), load(args.b)]
    assert builds[0] is not builds[1]
    print(f"A: {args.a}\nB: {args.b}")
    for name in args.functions.split(","):
        case = first_valid_case(name)
        fns = [lambda m=m: getattr(m, name)(*case["args"]) for m in builds]
        for fn in fns:
            assert fn() == case["result"], name
        number = calls_per_batch(fns[0], args.batch, timer)
        per_call = [[], []]
        ratios = []
        for r in range(args.rounds):
            order = (0, 1) if r % 2 == 0 else (1, 0)  # neither build always goes first
            t = [0.0, 0.0]
            for i in order:
                t[i] = timeit.timeit(fns[i], number=number, timer=timer) / number
                per_call[i].append(t[i])
            ratios.append(t[1] / t[0])
        a, b = (statistics.median(p) * 1e6 for p in per_call)
        # The fastest batch of each build is the one least disturbed by the machine.
        fastest = min(per_call[1]) / min(per_call[0])
        print(f"{name:24s} median A {a:8.2f} us  B {b:8.2f} us  B/A {statistics.median(ratios):.4f}"
              f"  (range {min(ratios):.3f}..{max(ratios):.3f});  fastest B/A {fastest:.4f}")


if __name__ == "__main__":
    main()
