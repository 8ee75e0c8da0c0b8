"""Soak: calls every function of the installed module over and over,
succeeding and failing in every way a caller can see (a result, ValueError,
PanicException, TypeError, UnicodeEncodeError), checks every outcome, and
checks that resident memory and the interpreter's allocated blocks stay flat
once warmed up.

    .venv/bin/python scripts/soak.py                  # 100,000 calls
    .venv/bin/python scripts/soak.py --calls 1000000  # a million

Exits non-zero on a wrong outcome or on growth past the bounds below.
"""
import argparse
import gc
import json
import os
import pathlib
import sys
import time

import lumora_python_sdk as sdk

ROOT = pathlib.Path(__file__).resolve().parent.parent
FUNCTIONS = ROOT / "tests" / "data" / "functions.json"

# Growth allowed between the end of the warm-up and the end of the run. A
# leak of one object per thousand calls, or of 64 bytes per call of a single
# function, exceeds them at 100,000 calls.
MAX_BLOCK_GROWTH = 64
MAX_RSS_GROWTH = 1024 * 1024 * 2
WARM_UP_SHARE = 0.1


def resident_bytes():
    with open(f"/proc/{os.getpid()}/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def measure():
    gc.collect()
    return resident_bytes(), sys.getallocatedblocks()


class Case:
    """One call and the outcome it must have: a result, or an exception class name and message."""

    def __init__(self, name, args, kwargs=None, result=None, raises=None, message=None, prefix=False):
        self.function = getattr(sdk, name)
        self.name, self.args, self.kwargs = name, tuple(args), dict(kwargs or {})
        self.result, self.raises, self.message, self.prefix = result, raises, message, prefix

    def run(self):
        try:
            got = self.function(*self.args, **self.kwargs)
        except BaseException as e:  # PanicException derives from BaseException; matched by name
            if type(e).__name__ != self.raises:
                raise AssertionError(f"{self.name}{self.args!r:.200}: raised {type(e).__name__}: {e}") from e
            text = str(e)
            if self.message is not None and not (text.startswith(self.message) if self.prefix else text == self.message):
                raise AssertionError(f"{self.name}: message {text!r:.300}, expected {self.message!r:.300}") from e
            return self.raises
        if self.raises is not None or got != self.result:
            raise AssertionError(f"{self.name}{self.args!r:.200}: returned {got!r:.200}")
        return "result"


def cases():
    out = []
    for name, function in json.loads(FUNCTIONS.read_text())["functions"].items():
        for case in function["cases"]:
            if "result" in case:
                out.append(Case(name, case["args"], result=case["result"]))
            else:
                out.append(Case(name, case["args"], raises=case["raises"], message=case["message"],
                                prefix=case["match"] == "prefix"))
        params = function["params"]
        valid = next(c["args"] for c in function["cases"] if "result" in c)
        # Binding failures: a missing argument, a bytes argument, a repeated
        # keyword, an unknown keyword, and a text with a lone surrogate.
        n = len(params)
        missing = "argument" if n == 1 else "arguments"
        names = [f"'{p}'" for p in params]
        listed = names[0] if n == 1 else (" and ".join(names) if n == 2 else ", ".join(names[:-1]) + ", and " + names[-1])
        out.append(Case(name, [], raises="TypeError",
                        message=f"{name}() missing {n} required positional {missing}: {listed}"))
        out.append(Case(name, [valid[0].encode()] + valid[1:], raises="TypeError",
                        message=f"argument '{params[0]}': 'bytes' object cannot be converted to 'PyString'"))
        out.append(Case(name, valid, {params[0]: valid[0]}, raises="TypeError",
                        message=f"{name}() got multiple values for argument '{params[0]}'"))
        out.append(Case(name, valid, {"extra": "x"}, raises="TypeError",
                        message=f"{name}() got an unexpected keyword argument 'extra'"))
        out.append(Case(name, ["\ud800"] + valid[1:], raises="UnicodeEncodeError"))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=100_000, help="number of calls (default 100,000)")
    calls = parser.parse_args().calls
    all_cases = cases()
    warm_up = max(len(all_cases), int(calls * WARM_UP_SHARE))
    if calls <= warm_up:
        sys.exit(f"--calls must exceed the warm-up of {warm_up} calls")

    # Abort diagnostics go to standard error on every failing call: keep them out of the report.
    devnull = os.open(os.devnull, os.O_WRONLY)
    saved_stderr = os.dup(2)
    os.dup2(devnull, 2)
    seen = {}
    started = time.monotonic()
    try:
        for i in range(calls):
            if i == warm_up:
                rss_before, blocks_before = measure()
            case = all_cases[i % len(all_cases)]
            kind = case.run()
            seen.setdefault(case.name, set()).add(kind)
        rss_after, blocks_after = measure()
    finally:
        os.dup2(saved_stderr, 2)
        os.close(devnull)

    elapsed = time.monotonic() - started
    kinds = set().union(*seen.values())
    print(f"{calls} calls in {elapsed:.1f} s over {len(all_cases)} cases of {len(seen)} functions; outcomes: "
          + ", ".join(sorted(kinds)))
    print(f"after warm-up ({warm_up} calls): resident memory {rss_before / 2**20:.1f} -> {rss_after / 2**20:.1f} MiB, "
          f"allocated blocks {blocks_before} -> {blocks_after}")

    problems = []
    if sorted(seen) != sorted(sdk.__all__):
        problems.append(f"called {len(seen)} functions, not the module's {len(sdk.__all__)}: "
                        f"no cases for {sorted(set(sdk.__all__) - set(seen))}")
    for name, outcomes in sorted(seen.items()):
        if "result" not in outcomes or len(outcomes) < 2:
            problems.append(f"{name}: outcomes {sorted(outcomes)}, expected a result and failures")
    for kind in ("result", "ValueError", "PanicException", "TypeError", "UnicodeEncodeError"):
        if kind not in kinds:
            problems.append(f"no call ended in {kind}")
    if blocks_after - blocks_before > MAX_BLOCK_GROWTH:
        problems.append(f"allocated blocks grew by {blocks_after - blocks_before} (bound {MAX_BLOCK_GROWTH})")
    if rss_after - rss_before > MAX_RSS_GROWTH:
        problems.append(f"resident memory grew by {(rss_after - rss_before) / 1024:.0f} KiB "
                        f"(bound {MAX_RSS_GROWTH // 1024} KiB)")
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
