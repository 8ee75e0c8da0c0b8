"""No secret a function works with is left in the process's memory after it
returns.

A fresh process calls each function that takes a private key or a seed, each
with a key of its own, and after each call reads all of its writable memory
(/proc/self/maps, /proc/self/mem) in search of the binary forms of that
call's secrets: the key, the nonce, c·sk and the HMAC K and V of the nonce
derivation (for a seed, the chain of hashes that leads to the key), as
little- and big-endian bytes, 64-bit limbs, 32-bit words as SHA-256 holds
them, and for scalars their Montgomery form. The texts passed in hold the
key's hexadecimal digits by right, so only binary forms are searched for.

The searching process must not hold the secrets itself: it gets every needle
with each byte raised by one and compares memory raised by one. A needle in
its stored form, or memory it has already raised, never matches in a later
pass, so only bytes that were in memory as the secret are found. A control
value planted in the heap must be found after every call, or the search
proves nothing.
"""
import hashlib
import hmac
import json
import os
import subprocess
import sys

import pytest

import lumora_python_sdk as sdk
from conftest import document_kinds, load_function_cases, under_address_sanitizer

if not sys.platform.startswith("linux"):
    pytest.skip("reads /proc/self/mem", allow_module_level=True)
if under_address_sanitizer():
    # Its runtime maps terabytes of shadow memory and keeps the heap in its
    # own reserved regions; the released build is checked instead.
    pytest.skip("an AddressSanitizer process", allow_module_level=True)

L = 2736030358979909402780800718157159386076813972158567259200215660948447373041
MONTGOMERY_ONE = pow(2, 256, L)  # Montgomery form: value·2^256 mod l

SEARCH = r"""
import json, os, sys
import lumora_python_sdk as sdk

RAISED = bytes((b + 1) & 0xff for b in range(256))
CHUNK = 1 << 20
# Memory is read into these two buffers only, and they are zeroed after each
# search: no copy of what was found stays behind to be found again.
BUFFER = bytearray(CHUNK + 7)


def writable_regions():
    with open("/proc/self/maps") as maps:
        for line in maps:
            fields = line.split()
            if "w" in fields[1]:
                start, end = (int(x, 16) for x in fields[0].split("-"))
                yield start, end, fields[5] if len(fields) > 5 else "[anonymous]"


def search(buffer, size, needles):
    # Every 8 bytes at every offset, raised by one and read as a 64-bit word.
    raised = memoryview(buffer.translate(RAISED))[:size]
    buffer[:] = bytes(len(buffer))
    hits = set()
    for offset in range(8):
        words = (size - offset) // 8
        hits |= needles.keys() & raised[offset:offset + 8 * words].cast("Q")
    return {needles[h] for h in hits}


def search_all(mem, needles):
    found, seen = [], set()
    for start, end, name in writable_regions():
        for at in range(start, end, CHUNK):
            try:
                size = os.preadv(mem, [memoryview(BUFFER)[:min(CHUNK + 7, end - at)]], at)
            except OSError:
                break
            seen.add(name)
            found += [[label, name] for label in search(BUFFER, size, needles)]
    return found, seen


job = json.loads(sys.stdin.read())
mem = os.open("/proc/self/mem", os.O_RDONLY)
planted = bytearray.fromhex(job["control"]["plant"])
# Each function once with other keys: the stack reaches its full depth
# before the checked calls, so its extent is known in advance.
for call in job["calls"]:
    getattr(sdk, call["function"])(*call["warm_up"])
((stack_start, stack_end),) = [(start, end) for start, end, name in writable_regions() if name == "[stack]"]
stack = bytearray(stack_end - stack_start)
results = []
for call in job["calls"]:
    needles = {value: label for label, value in call["needles"]}
    needles[job["control"]["needle"]] = "control"
    getattr(sdk, call["function"])(*call["args"])
    # The stack first, before the search itself runs over what the call left.
    size = os.preadv(mem, [stack], stack_start)
    found = [[label, "[stack], read just after the call"] for label in search(stack, size, needles)]
    more, seen = search_all(mem, needles)
    results.append({"function": call["function"], "found": found + more, "regions": sorted(seen)})
print(json.dumps(results))
"""


def raised_word(piece):
    """Eight bytes, each raised by one, as the 64-bit word the search reads."""
    return int.from_bytes(bytes((b + 1) & 0xFF for b in piece), sys.byteorder)


def scalar_forms(name, value):
    """A value below l: its bytes in both orders (the little-endian ones are
    its four limbs) and its Montgomery form's limbs."""
    return {
        f"{name} (little-endian)": value.to_bytes(32, "little"),
        f"{name} (big-endian)": value.to_bytes(32, "big"),
        f"{name} (Montgomery)": (value * MONTGOMERY_ONE % L).to_bytes(32, "little"),
    }


def digest_forms(name, digest):
    """A SHA-256 or HMAC output: its bytes, reversed, and as the eight
    native-order 32-bit words of a hash state."""
    words = b"".join(digest[i:i + 4][::-1] for i in range(0, 32, 4))
    return {f"{name} (bytes)": digest, f"{name} (reversed)": digest[::-1], f"{name} (state words)": words}


def needles(forms):
    """Every aligned 8-byte piece of every form, as [label, raised word], the
    first label kept where two forms share a piece. A piece with repeated
    bytes is more likely to occur by chance and is left out (the other
    pieces of its form still count)."""
    labels = {}
    for label, form in forms.items():
        for i in range(0, len(form), 8):
            if len(set(form[i:i + 8])) >= 6:
                labels.setdefault(raised_word(form[i:i + 8]), f"{label}, bytes {i}..{i + 7}")
    return [[label, word] for word, label in labels.items()]


def nonce_secrets(sk, message):
    """The nonce derivation (the one tests/test_hash_derivations.py checks):
    the forms of the nonce and of every K and V it passes through."""
    def mac(key, data):
        return hmac.new(key, data, hashlib.sha256).digest()

    h1 = hashlib.sha256(message).digest()
    x = sk.to_bytes(32, "big")
    v, k = b"\x01" * 32, b"\x00" * 32
    forms = {}
    for step, separator in enumerate((b"\x00", b"\x01"), 1):
        k = mac(k, v + separator + x + h1)
        v = mac(k, v)
        forms |= digest_forms(f"K{step}", k) | digest_forms(f"V{step}", v)
    retry = 0
    while (t := int.from_bytes(mac(k, v), "big")) >= L:
        retry += 1
        k = mac(k, v + v + b"\x00")
        forms |= digest_forms(f"K of retry {retry}", k)
    return forms | scalar_forms("nonce", t)


def signing_secrets(sk, digest):
    """A signature of the digest's 32 little-endian bytes: s = r + c·sk with c
    the digest mod l."""
    return (scalar_forms("key", sk) | scalar_forms("c·sk", digest % L * sk % L)
            | nonce_secrets(sk, digest.to_bytes(32, "little")))


def seed_secrets(seed):
    """The key, and every hash of the chain after SHA-256(seed) that leads
    to it."""
    chain, h = {}, hashlib.sha256(seed.encode()).digest()
    while True:
        h = hashlib.sha256(h).digest()
        chain |= digest_forms(f"seed hash {len(chain) // 3 + 1}", h)
        if int.from_bytes(h, "big") < L:
            return scalar_forms("key", int.from_bytes(h, "big")) | chain


def key_for(name):
    return int.from_bytes(hashlib.sha256(f"residue check key for {name}".encode()).digest(), "big") % L


def first_document(name):
    return next(case["args"][0] for n, case in load_function_cases() if n == name and "result" in case)


def calls():
    """Each secret-taking function: its arguments, other arguments of the
    same kind for the warm-up call, and the forms of its secrets."""
    out = []
    for kind in document_kinds():
        name = f"sign_{kind}"
        document = first_document(name)
        sk, other = key_for(name), key_for(f"{name} warm-up")
        digest = int(getattr(sdk, f"hash_{kind}")(document), 16)
        out.append((name, [document, f"0x{sk:064x}"], [document, f"0x{other:064x}"], signing_secrets(sk, digest)))
    digest = int.from_bytes(hashlib.sha256(b"residue check digest").digest(), "big")
    for name in ("sign", "eth_sign"):
        sk, other = key_for(name), key_for(f"{name} warm-up")
        out.append((name, [f"0x{sk:064x}", f"0x{digest:064x}"], [f"0x{other:064x}", f"0x{digest:064x}"],
                    signing_secrets(sk, digest)))
    name = "private_key_to_public_key_xy"
    sk, other = key_for(name), key_for(f"{name} warm-up")
    out.append((name, [f"0x{sk:064x}"], [f"0x{other:064x}"], scalar_forms("key", sk)))
    seed = "a seed for the residue check, well over thirty-two bytes long"
    out.append(("private_key_from_seed", [seed], [seed + " (warm-up)"], seed_secrets(seed)))
    return out


def test_no_secret_is_left_in_memory_after_a_call():
    control = hashlib.sha256(b"planted control value").digest()
    job = {
        "control": {"plant": control.hex(), "needle": raised_word(control[8:16])},
        "calls": [{"function": f, "args": a, "warm_up": w, "needles": needles(forms)} for f, a, w, forms in calls()],
    }
    assert all(call["needles"] for call in job["calls"])
    out = subprocess.run([sys.executable, "-c", SEARCH], input=json.dumps(job), capture_output=True, text=True,
                         env=dict(os.environ), check=True).stdout
    results = json.loads(out)
    # After every call the search must find the value planted in the heap,
    # and must have read the stack.
    for result in results:
        assert "control" in [label for label, _ in result["found"]], "the search missed the planted value"
        assert "[stack]" in result["regions"], result["regions"]
    residue = [f"{r['function']}: {label} in {region}" for r in results for label, region in r["found"]
               if label != "control"]
    assert not residue, "secrets left in memory:\n" + "\n".join(sorted(residue))
