"""Every script in examples/ runs to completion and prints what it promises."""
import pathlib
import subprocess
import sys

import pytest

EXAMPLES_DIR = pathlib.Path(__file__).resolve().parent.parent / "examples"
EXAMPLES = sorted(EXAMPLES_DIR.glob("*.py"))

# What an example promises on standard output (and standard error); a script
# not listed here is only required to exit 0.
PROMISES = {
    "demo.py": {"stdout": ["all signatures verify", "a tampered hash is rejected: True"]},
    "threaded_signer.py": {"stdout": ["all signatures verify", "200 verified"]},
    "failures.py": {
        "stdout": ["ValueError from sign:", "PanicException (pyo3_runtime.PanicException) from hash_withdraw:",
                   "ValueError via checked from public_key_to_xy:", "TypeError from hash_transfer:",
                   "every failure was caught"],
        # Each native failure is also reported on standard error; the TypeError is not native.
        "stderr": ["Couldn't sign msg: Odd number of digits", "Couldn't get hash: missing field `position_id`",
                   "Couldn't convert public key to xy: Invalid character 'z' at position 0"],
    },
}


def test_every_promise_names_an_example():
    assert set(PROMISES) <= {p.name for p in EXAMPLES}


@pytest.mark.parametrize("path", EXAMPLES, ids=[p.name for p in EXAMPLES])
def test_example_runs(path):
    result = subprocess.run([sys.executable, str(path)], capture_output=True, text=True, timeout=600)
    assert result.returncode == 0, result.stdout + result.stderr
    promise = PROMISES.get(path.name, {})
    for text in promise.get("stdout", []):
        assert text in result.stdout, result.stdout
    for text in promise.get("stderr", []):
        assert text in result.stderr, result.stderr


def test_examples_type_check_strictly(tmp_path):
    mypy_api = pytest.importorskip("mypy.api")
    out, err, status = mypy_api.run(
        ["--strict", "--no-incremental", "--cache-dir", str(tmp_path / ".mypy_cache"),
         "--python-executable", sys.executable, *map(str, EXAMPLES)]
    )
    assert status == 0, out + err
