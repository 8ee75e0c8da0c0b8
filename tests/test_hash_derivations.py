"""The two SHA-256 derivations, checked against Python's hashlib and hmac.

Keys from seeds: SHA-256 of the seed, then SHA-256 again until the value is
below l. Nonces: the HMAC-DRBG with its own retry step, recovered from a
signature as r = s - c*sk mod l (c the digest mod l). Both run again in a
process that is held to the portable compression (LUMORA_CPU=portable).
"""
import hashlib
import hmac
import json
import os
import subprocess
import sys

from hypothesis import example, given, settings
from hypothesis import strategies as st

import lumora_python_sdk as sdk

L = 2736030358979909402780800718157159386076813972158567259200215660948447373041

keys = st.integers(min_value=0, max_value=L - 1)
digests = st.integers(min_value=0, max_value=2**256 - 1)
seeds = st.binary(min_size=32, max_size=200).map(lambda b: b.decode("latin-1"))


def key_from_seed(seed: str) -> int:
    h = hashlib.sha256(seed.encode()).digest()
    while True:
        h = hashlib.sha256(h).digest()
        if int.from_bytes(h, "big") < L:
            return int.from_bytes(h, "big")


def nonce(sk: int, message: bytes) -> int:
    def mac(key, data):
        return hmac.new(key, data, hashlib.sha256).digest()

    h1 = hashlib.sha256(message).digest()
    x = sk.to_bytes(32, "big")
    v, k = b"\x01" * 32, b"\x00" * 32
    k = mac(k, v + b"\x00" + x + h1)
    v = mac(k, v)
    k = mac(k, v + b"\x01" + x + h1)
    v = mac(k, v)
    while True:
        t = int.from_bytes(mac(k, v), "big")
        if t < L:
            return t
        k = mac(k, v + v + b"\x00")  # V itself stays


def hex64(value: int) -> str:
    return "0x" + format(value, "064x")


def nonce_of_signature(sk: int, digest: int) -> int:
    s = int(json.loads(sdk.sign(hex64(sk), hex64(digest)))["s"], 16)
    return (s - (digest % L) * sk) % L


@settings(max_examples=60, deadline=None, derandomize=True)
@given(seeds)
@example("0" * 32)
@example("é" * 16)  # 32 bytes of UTF-8 from 16 characters
def test_private_key_from_seed_matches_hashlib(seed):
    assert sdk.private_key_from_seed(seed) == hex64(key_from_seed(seed))


@settings(max_examples=60, deadline=None, derandomize=True)
@given(keys, digests)
@example(0, 0)
@example(L - 1, 2**256 - 1)
def test_signature_nonce_matches_hmac_drbg(sk, digest):
    # The module signs the digest's 32 little-endian bytes.
    assert nonce_of_signature(sk, digest) == nonce(sk, digest.to_bytes(32, "little"))


PORTABLE_RUN = """
import json, sys
import lumora_python_sdk as sdk
seeds, pairs = json.loads(sys.argv[1])
print(json.dumps([[sdk.private_key_from_seed(s) for s in seeds], [sdk.sign(k, d) for k, d in pairs]]))
"""


def test_portable_compression_gives_the_same_results():
    seeds = ["a seed of at least thirty-two bytes #%d" % i for i in range(8)]
    pairs = [(hex64((i * 0x9E3779B97F4A7C15) % L), hex64(i * 0x1234567)) for i in range(8)]
    env = dict(os.environ, LUMORA_CPU="portable")
    out = subprocess.run([sys.executable, "-c", PORTABLE_RUN, json.dumps([seeds, pairs])], env=env,
                         capture_output=True, text=True, check=True).stdout
    assert json.loads(out) == [[sdk.private_key_from_seed(s) for s in seeds], [sdk.sign(k, d) for k, d in pairs]]
