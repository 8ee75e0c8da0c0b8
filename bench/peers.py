"""What a user would pick instead of this module, installed into the running
interpreter's environment for benchmarking only (never a dependency of the
module), each wrapped as ready-to-time calls.

A peer that fails to install or to give a known answer is reported with the
reason and left out of the comparison; the run goes on.
"""
import importlib
import os
import re
import subprocess
import sys
import tempfile

# (distribution, import name, what it is); tried in this order.
CANDIDATES = [
    ("coincurve", "coincurve", "secp256k1 ECDSA, native (a per-signature reference)"),
    ("zokrates-pycrypto", "zokrates_pycrypto", "Baby Jubjub EdDSA, pure Python"),
    ("babyjubjub-py", "babyjubjub_py", "Baby Jubjub, Rust bindings"),
    ("light-poseidon-python", "light_poseidon_python", "Poseidon over BN254, Rust bindings"),
    ("light-poseidon", "light_poseidon", "Poseidon over BN254, Rust bindings"),
    ("circomlibpy", "circomlibpy", "Poseidon over BN254, pure Python"),
    ("poseidon-hash", "poseidon", "Poseidon over BN254 at any width, pure Python"),
]

# Poseidon of (1, 2) with the widely published width-3 BN254 constants: both
# Poseidon peers that take two inputs must give it.
POSEIDON_1_2 = 7853200120776062878684798364095072458815029376092732009249414926327459813530


def _last_error_line(text):
    lines = [l.strip() for l in text.splitlines() if l.strip() and "WARNING" not in l]
    for marker in ("error: failed to get", "ERROR:", "error:"):
        for line in lines:
            if line.startswith(marker) or marker in line:
                return line[:200]
    return lines[-1][:200] if lines else "no output"


# Peers whose declared requirements would change the project's own tools
# (poseidon-hash pins an old pytest): installed without them, plus these.
RUNTIME_DEPS = {"poseidon-hash": ["galois", "numpy"]}


def _pip(*args, constraints):
    return subprocess.run([sys.executable, "-m", "pip", "install", "-q", "--disable-pip-version-check",
                           "-c", constraints, *args], capture_output=True, text=True, timeout=600)


def install(dist, module):
    """Returns (ok, note). Installs with pip unless the module already imports;
    every package already in the environment keeps its version."""
    try:
        importlib.import_module(module)
        return True, "already installed"
    except ImportError:
        pass
    frozen = subprocess.run([sys.executable, "-m", "pip", "freeze", "--exclude-editable"], capture_output=True,
                            text=True).stdout
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write("\n".join(l for l in frozen.splitlines() if "==" in l) + "\n")
        constraints = f.name
    try:
        if dist in RUNTIME_DEPS:
            proc = _pip("--no-deps", dist, constraints=constraints)
            if proc.returncode == 0:
                proc = _pip(*RUNTIME_DEPS[dist], constraints=constraints)
        else:
            proc = _pip(dist, constraints=constraints)
    finally:
        os.unlink(constraints)
    if proc.returncode != 0:
        note = _last_error_line(proc.stderr + proc.stdout)
        crate = re.search(r"failed to get `([^`]+)`", proc.stderr)
        if crate:
            note = (f"source-only Rust package: its build fetches the crate `{crate.group(1)}` "
                    "from a registry this machine cannot reach")
        return False, note
    importlib.invalidate_caches()
    try:
        importlib.import_module(module)
    except ImportError as e:
        return False, f"installed but does not import: {e}"
    return True, "installed now"


# ---------------------------------------------------------------------------
# Wrappers: each returns a dict of name -> zero-argument callable, after
# checking the peer gives a correct answer.

def wrap_coincurve():
    import hashlib
    from coincurve import PrivateKey
    key = PrivateKey(hashlib.sha256(b"bench key").digest())
    msg = hashlib.sha256(b"bench message").digest()
    sig = key.sign(msg, hasher=None)
    pub = key.public_key
    assert pub.verify(sig, msg, hasher=None)
    return {
        "ecdsa_sign": lambda: key.sign(msg, hasher=None),
        "ecdsa_verify": lambda: pub.verify(sig, msg, hasher=None),
    }


def wrap_zokrates_pycrypto():
    from zokrates_pycrypto.eddsa import PrivateKey, PublicKey
    from zokrates_pycrypto.field import FQ
    sk = PrivateKey(FQ(0x2F9672BACC14AD91ED378C64715CC60BEF1C97FAE658AEAD2ED338C530AFAC0))
    pk = PublicKey.from_private(sk)
    msg = bytes(range(32))
    sig = sk.sign(msg)
    assert pk.verify(sig, msg) and not pk.verify(sig, bytes(32))
    return {
        "eddsa_sign": lambda: sk.sign(msg),
        "eddsa_verify": lambda: pk.verify(sig, msg),
    }


def wrap_light_poseidon_python():
    import light_poseidon_python as lp
    assert int(lp.poseidon_hash([1, 2])) == POSEIDON_1_2
    return {"poseidon_2_inputs": lambda: lp.poseidon_hash([1, 2])}


def wrap_circomlibpy():
    from circomlibpy.poseidon import PoseidonHash
    h = PoseidonHash()
    assert h.hash(2, [1, 2]) == POSEIDON_1_2
    five = [1, 2, 3, 4, 5]
    return {
        "poseidon_2_inputs": lambda: h.hash(2, [1, 2]),
        "poseidon_5_inputs": lambda: h.hash(5, five),
    }


def wrap_poseidon_hash():
    # Same instance shape as ours (width 9, x^5, 8 full and 63 partial rounds
    # over BN254); its constants are seeded random values, which does not change
    # the work of a permutation, so only the timing is comparable. Building its
    # field object takes about a minute and a half, hence the opt-in.
    import contextlib
    import io
    import random
    import poseidon
    rng = random.Random(1)
    p = poseidon.prime_254
    rc = [hex(rng.randrange(p)) for _ in range(9 * 71)]
    mds = [[hex(rng.randrange(p)) for _ in range(9)] for _ in range(9)]
    with contextlib.redirect_stdout(io.StringIO()):
        h = poseidon.Poseidon(p, 128, 5, 8, 9, full_round=8, partial_round=63, rc_list=rc, mds_matrix=mds)
    block = list(range(1, 9))
    return {"permutation_width_9": lambda: h.run_hash(block)}


WRAPPERS = {
    "coincurve": wrap_coincurve,
    "zokrates-pycrypto": wrap_zokrates_pycrypto,
    "light-poseidon-python": wrap_light_poseidon_python,
    "circomlibpy": wrap_circomlibpy,
    "poseidon-hash": wrap_poseidon_hash,
}


def load(with_slow=False):
    """Returns (calls, status): calls maps (dist, name) -> callable; status
    maps dist -> (usable, note, what)."""
    calls, status = {}, {}
    for dist, module, what in CANDIDATES:
        if dist == "poseidon-hash" and not with_slow:
            status[dist] = (False, "skipped: building its BN254 field object takes ~90 s (run with --slow-peers)", what)
            continue
        ok, note = install(dist, module)
        if ok and dist not in WRAPPERS:
            ok, note = False, "installed, but offers nothing comparable to time"
        if ok:
            try:
                for name, fn in WRAPPERS[dist]().items():
                    calls[(dist, name)] = fn
            except Exception as e:  # a peer that misbehaves is reported, not fatal
                ok, note = False, f"does not work here: {type(e).__name__}: {e}"[:200]
        status[dist] = (ok, note, what)
    return calls, status
