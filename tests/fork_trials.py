"""Forks while another thread is inside a call of the module, and checks that
the child can still sign. Run by test_fork.py as a script of its own, so that
the module is imported afresh in every trial:

    python fork_trials.py TRIALS LIMIT < case.json

case.json holds one known answer, {"function": ..., "args": [...], "result": ...},
of a function that needs both once-built tables (a signature of a document).
Each trial forks a process that imports the module (so in that process
nothing has been built before the import), starts a thread that calls the
function, and forks again as soon as the thread is on its way into the call:
the grandchild calls the function itself and must return the known answer.
A grandchild stuck on a lock that the other thread held at the fork is ended
by SIGALRM after LIMIT seconds (the signal's default action: the interpreter
installs no handler for it, and a handler could not run anyway while the
call waits in native code).

Stops at the first trial that fails and prints what happened; exits 0 when
every trial passed.
"""
import json
import os
import signal
import sys
import threading

RIGHT, WRONG, HUNG, BROKEN = 0, 1, 2, 3
OUTCOMES = {RIGHT: "signed correctly", WRONG: "signed wrongly or raised", HUNG: "hung", BROKEN: "trial failed"}


def child_outcome(status):
    if os.WIFEXITED(status):
        return os.WEXITSTATUS(status)
    if os.WIFSIGNALED(status) and os.WTERMSIG(status) == signal.SIGALRM:
        return HUNG
    return BROKEN


def trial(case, limit):
    """One trial, in a process that has not imported the module; returns an outcome."""
    import lumora_python_sdk as sdk

    function = getattr(sdk, case["function"])
    args, expected = case["args"], case["result"]
    on_its_way = threading.Event()

    def racer():
        on_its_way.set()
        function(*args)  # the interpreter lock is let go inside: the fork below lands in native code

    thread = threading.Thread(target=racer)
    thread.start()
    on_its_way.wait()
    pid = os.fork()
    if pid == 0:
        signal.alarm(limit)
        try:
            outcome = RIGHT if function(*args) == expected else WRONG
        except BaseException:
            outcome = WRONG
        os._exit(outcome)
    _, status = os.waitpid(pid, 0)
    thread.join()
    return child_outcome(status)


def main():
    trials, limit = int(sys.argv[1]), int(sys.argv[2])
    case = json.load(sys.stdin)
    for i in range(trials):
        sys.stdout.flush()
        pid = os.fork()
        if pid == 0:
            try:
                outcome = trial(case, limit)
            except BaseException:
                outcome = BROKEN
            os._exit(outcome)
        _, status = os.waitpid(pid, 0)
        outcome = child_outcome(status) if os.WIFEXITED(status) else BROKEN
        if outcome != RIGHT:
            print(f"trial {i + 1} of {trials}: the child {OUTCOMES.get(outcome, 'failed')}")
            return 1
    print(f"{trials} trials: every child signed correctly")
    return 0


if __name__ == "__main__":
    sys.exit(main())
