"""Exact executed-instruction counts per operation, on 64-bit Arm (qemu-user
with the counting plugin) and x86-64 (valgrind's callgrind), on each copy of
the field kernels the drivers have and the tools' CPUs run.
Run through scripts/icount.sh, which builds the drivers and the plugin.

    python3 scripts/icount.py --aarch64 DRIVER --x86-64 DRIVER --plugin LIB [--check | --update]

A count is (instructions of a run with N calls − those of a run with none) / N:
both runs start the process, read the inputs and make one call that builds
the shared tables, so only the N calls differ. Inputs are the known answers
of tests/data/functions.json, so every count is reproducible; a count
depends on the compilers and the tools, not on the machine's load.

--check compares with bench/icount.json and fails when a count grew by more
than 2 %; --update writes the counts there.
"""
import argparse
import concurrent.futures
import json
import os
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FUNCTIONS = ROOT / "tests" / "data" / "functions.json"
BASELINE = ROOT / "bench" / "icount.json"
ALLOWED_GROWTH = 0.02

ARCHITECTURES = ["aarch64", "x86-64"]


def first_success(functions, name):
    return next(case for case in functions[name]["cases"] if "result" in case)


def result_text(result):
    return ("true" if result else "false") if isinstance(result, bool) else result


def operations():
    """(name, calls, arguments) of every counted operation."""
    functions = json.loads(FUNCTIONS.read_text())["functions"]
    ops = []
    for name in ["hash_transfer", "hash_withdraw", "hash_limit_order", "hash_liquidate", "hash_signed_oracle_price",
                 "sign_transfer", "sign", "eth_sign", "verify_signature", "private_key_from_seed",
                 "private_key_to_public_key_xy"]:
        case = first_success(functions, name)
        ops.append((name, 4, case["args"] + [result_text(case["result"])]))
    transfer_json, transfer_key = first_success(functions, "sign_transfer")["args"]
    key, digest = first_success(functions, "sign")["args"]
    verify = first_success(functions, "verify_signature")["args"]
    packed_key, verified_digest = verify[2], verify[4]
    ops += [
        ("nonce", 4, [transfer_json, transfer_key]),
        ("nonce_retry_step", 20, [key, digest]),
        ("fr_mul", 1000, [digest, key]),
        ("fr_sqr", 1000, [digest, key]),
        ("fr_add", 1000, [digest, key]),
        ("fr_inverse_var", 20, [digest]),
        ("fr_invert", 20, [digest]),
        ("fr_sqrt", 20, [digest]),
        ("poseidon_permutation", 20, []),
        ("fixed_base_mul", 4, [key]),
        ("variable_base_mul", 4, [packed_key, key]),
        ("variable_base_mul_var", 4, [packed_key, verified_digest]),
        ("subgroup_check_var", 4, [packed_key]),
        ("signing_equation_var", 4, [verified_digest]),
        ("point_decoding", 20, [packed_key]),
    ]
    return ops


class Counter:
    def __init__(self, drivers, plugin):
        self.drivers = drivers
        self.plugin = plugin

    def command(self, arch, args):
        # Without address randomisation: where the heap and stack start
        # changes the alignment of buffers, and with it the paths memcpy and
        # memset take, by a few instructions.
        if arch == "aarch64":
            return ["setarch", "-R", "qemu-aarch64", "-plugin", self.plugin, self.drivers[arch]] + args
        return ["setarch", "-R", "valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null",
                self.drivers[arch]] + args

    @staticmethod
    def environment(cpu):
        env = dict(os.environ)
        env.pop("LUMORA_CPU", None)
        if cpu is not None:
            env["LUMORA_CPU"] = cpu
        return env

    def run(self, arch, cpu, *args):
        """The driver's output lines for ARGS, run as the counts run it."""
        if arch == "aarch64":
            command = ["qemu-aarch64", self.drivers[arch], *args]
        else:
            command = ["valgrind", "-q", self.drivers[arch], *args]
        done = subprocess.run(command, env=self.environment(cpu), capture_output=True, text=True, check=True)
        return done.stdout.strip().splitlines()

    def configs(self):
        """(column, architecture, LUMORA_CPU value or None for the process's
        own choice, what the driver runs: the copy of the field kernels and
        the SHA-256 form) of every count. On each architecture: each copy of
        the field kernels the driver has (common/kernel_paths.h), the most
        capable first, forced through the path of its name, and the
        process's own choice when it runs something else (qemu's default Arm
        CPU has the SHA-256 instructions, which the portable path leaves
        off). A copy the tool's CPU does not run is left out: valgrind's
        offers neither ADX nor SHA-NI, so its runs take the baseline kernels
        and the portable SHA-256."""
        configs = []
        for arch in ARCHITECTURES:
            runs = {}
            for copy in reversed(self.run(arch, None, "--copies")):
                runs[copy] = self.run(arch, copy, "--path")[0]
                if runs[copy].split()[0] != copy:
                    print(f"note: {arch} {copy} is not counted: the tool's CPU runs '{runs[copy]}' for it")
                    del runs[copy]
            dispatched = self.run(arch, None, "--path")[0]
            if dispatched not in runs.values():
                configs.append((f"{arch} dispatched", arch, None, dispatched))
            configs += [(f"{arch} {copy}", arch, copy, what) for copy, what in runs.items()]
        return configs

    def path(self, arch, cpu):
        return self.run(arch, cpu, "--path")[0]

    def instructions(self, arch, cpu, args):
        done = subprocess.run(self.command(arch, args), env=self.environment(cpu), capture_output=True, text=True)
        pattern = r"^instructions: (\d+)$" if arch == "aarch64" else r"Collected : (\d+)$"
        found = re.search(pattern, done.stderr, re.MULTILINE)
        if done.returncode != 0 or not found:
            raise RuntimeError(f"{' '.join(self.command(arch, args[:2]))} failed (exit {done.returncode}):\n"
                               f"{done.stderr.strip()}")
        return int(found.group(1))

    def per_call(self, arch, cpu, name, calls, args):
        # Both counts written with the same number of digits: the arguments
        # are copied to the stack and shift everything below them.
        none = self.instructions(arch, cpu, [name, "0" * len(str(calls))] + args)
        some = self.instructions(arch, cpu, [name, str(calls)] + args)
        return round((some - none) / calls)


def tool_versions():
    def first_line(command):
        try:
            return subprocess.run(command, capture_output=True, text=True).stdout.splitlines()[0].strip()
        except (OSError, IndexError):
            return "unknown"

    return {
        "qemu": first_line(["qemu-aarch64", "--version"]),
        "valgrind": first_line(["valgrind", "--version"]),
        "aarch64 compiler": first_line(["aarch64-linux-gnu-g++", "--version"]),
        "x86-64 compiler": first_line(["g++", "--version"]),
    }


def measure(counter, jobs):
    ops = operations()
    configs = counter.configs()
    for column, arch, cpu, expected in configs:
        print(f"{column}: {expected}")
        # The choice is made once per process; a second look must agree.
        if counter.path(arch, cpu) != expected:
            sys.exit(f"{column}: the driver does not run '{expected}' every time: the counts would not mean what they say")
    tasks = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for column, arch, cpu, _ in configs:
            for name, calls, args in ops:
                tasks[column, name] = pool.submit(counter.per_call, arch, cpu, name, calls, args)
        counts = {column: {name: tasks[column, name].result() for name, _, _ in ops} for column, _, _, _ in configs}
    return [name for name, _, _ in ops], counts


def show(names, counts, baseline=None):
    """Prints the table; with a baseline, each count's change and the
    verdict. Returns the number of counts that grew too much or have no
    baseline."""
    columns = list(counts)
    width = 27 if baseline else 19
    print("executed instructions per call" + (", change against bench/icount.json" if baseline else ""))
    print(f"{'operation':<24}" + "".join(f"{column:>{width}}" for column in columns))
    faults = 0
    lowered = 0
    for name in names:
        line = f"{name:<24}"
        for column in columns:
            count = counts[column][name]
            cell = f"{count:,}"
            if baseline is not None:
                before = baseline.get(column, {}).get(name)
                if before is None:
                    cell += "   (no baseline) !"
                    faults += 1
                else:
                    change = (count - before) / before if before else 0.0
                    cell += f" ({change:+6.1%})"
                    if change > ALLOWED_GROWTH:
                        cell += " !"
                        faults += 1
                    else:
                        cell += "  "
                        lowered += change < -ALLOWED_GROWTH
            line += f"{cell:>{width}}"
        print(line)
    if baseline is not None and lowered:
        print(f"{lowered} counts are more than {ALLOWED_GROWTH:.0%} below the baseline: "
              "bash scripts/icount.sh --update records them")
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--aarch64", required=True, help="the count driver built for aarch64 (static)")
    parser.add_argument("--x86-64", dest="x86_64", required=True, help="the count driver built for x86-64")
    parser.add_argument("--plugin", required=True, help="the qemu counting plugin")
    parser.add_argument("--jobs", type=int, default=2, help="runs at a time")
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--check", action="store_true", help="fail when a count grew by more than 2 %%")
    mode.add_argument("--update", action="store_true", help="write the counts to bench/icount.json")
    options = parser.parse_args()

    counter = Counter({"aarch64": options.aarch64, "x86-64": options.x86_64}, options.plugin)
    names, counts = measure(counter, options.jobs)
    versions = tool_versions()
    if options.check:
        recorded = json.loads(BASELINE.read_text())
        for tool, version in versions.items():
            if recorded["measured with"].get(tool) != version:
                print(f"note: the baseline was measured with {tool} '{recorded['measured with'].get(tool)}', "
                      f"this run with '{version}': counts may differ for that reason alone")
        faults = show(names, counts, recorded["counts"])
        if faults:
            print(f"FAILED: {faults} counts grew by more than {ALLOWED_GROWTH:.0%} (marked !) or have no baseline")
            return 1
        print(f"ok: no count grew by more than {ALLOWED_GROWTH:.0%}")
        return 0
    show(names, counts)
    if options.update:
        BASELINE.write_text(json.dumps({"measured with": versions, "counts": counts}, indent=2) + "\n")
        print(f"written to {BASELINE.relative_to(ROOT)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
