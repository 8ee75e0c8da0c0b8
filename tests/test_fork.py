"""fork() while another thread is inside a call: the child must not inherit a
lock that nobody will release. A table built on first use under a lock held
by the other thread at the fork would leave the child waiting forever, so
the module builds its tables when it is imported; the trials check that a
child forked at that moment signs correctly."""
import json
import os
import pathlib
import subprocess
import sys

import pytest

from conftest import load_function_cases

TRIALS = 200
CHILD_LIMIT = 30  # seconds for one child's signature: far beyond any machine's need, it only detects a hang

# The sanitizer runtime that scripts/sanitize.sh preloads replaces malloc with
# an allocator whose lock is not taken around fork(): a child forked while the
# other thread allocates can wait on that lock forever, whatever the module
# does. The trials are meaningful only with the ordinary allocator.
SANITIZER_PRELOADED = "libasan" in os.environ.get("LD_PRELOAD", "")

pytestmark = [
    pytest.mark.skipif(not hasattr(os, "fork"), reason="needs fork()"),
    pytest.mark.skipif(SANITIZER_PRELOADED, reason="the preloaded sanitizer allocator is not fork-safe"),
]


def a_transfer_signature():
    for name, case in load_function_cases():
        if name == "sign_transfer" and "result" in case:
            return {"function": name, "args": case["args"], "result": case["result"]}
    raise AssertionError("no known signature of a transfer")


def test_children_forked_during_a_call_sign_correctly():
    script = pathlib.Path(__file__).with_name("fork_trials.py")
    run = subprocess.run(
        # Python warns that forking a process with threads may deadlock; that is what is tested.
        [sys.executable, "-W", "ignore::DeprecationWarning", str(script), str(TRIALS), str(CHILD_LIMIT)],
        input=json.dumps(a_transfer_signature()), capture_output=True, text=True,
        # A backstop only: the trials stop at the first hung child, after CHILD_LIMIT seconds.
        timeout=TRIALS * CHILD_LIMIT)
    assert run.returncode == 0, run.stdout + run.stderr
    assert run.stdout.strip() == f"{TRIALS} trials: every child signed correctly"
