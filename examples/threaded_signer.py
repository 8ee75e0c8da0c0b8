"""Signing many documents from a pool of threads, then verifying them the same way.

Every function releases the interpreter lock while its native work runs, so
the threads of a pool sign in parallel. The results are the same as from one
thread: signing is deterministic.

Run it with `python examples/threaded_signer.py` where the module is installed.
"""
import json
import os
import sys
from concurrent.futures import ThreadPoolExecutor

import lumora_python_sdk as sdk

DOCUMENTS = 200


def transfer(public_key: str, nonce: int) -> str:
    return json.dumps({
        "nonce": str(nonce),
        "public_key": public_key,
        "expiration_timestamp": "1767225600",
        "sender_position_id": "42",
        "receiver_public_key": "0x1d01ff0aa1cc6267f57deb5be53ba53cbfc3400950e5decd542d9f2d61357519",
        "receiver_position_id": "43",
        "amount": str(1000 + nonce),
        "asset_id": "0x2893294412a4c8f915f75892b395ebbf6859ec246ec365c3b1f56f47c3a0a5d",
    })


def main() -> int:
    private_key = sdk.private_key_from_seed("an example seed: never use a fixed seed for real funds")
    pair = json.loads(sdk.private_key_to_public_key_xy(private_key))
    documents = [transfer(pair["x"], nonce) for nonce in range(DOCUMENTS)]

    def sign(document: str) -> tuple[str, dict[str, str]]:
        return sdk.hash_transfer(document), json.loads(sdk.sign_transfer(document, private_key))

    def verify(signed: tuple[str, dict[str, str]]) -> bool:
        digest, signature = signed
        return sdk.verify_signature(signature["r"], signature["s"], pair["x"], pair["y"], digest)

    workers = min(8, (os.cpu_count() or 1) + 1)
    with ThreadPoolExecutor(max_workers=workers) as pool:
        signed = list(pool.map(sign, documents))
        verified = list(pool.map(verify, signed))

    # The pool's results match one thread's, and a changed digest is rejected.
    same = signed[0] == sign(documents[0]) and signed[-1] == sign(documents[-1])
    digest, signature = signed[0]
    other = signed[1][0]
    rejected = not sdk.verify_signature(signature["r"], signature["s"], pair["x"], pair["y"], other)

    print(f"{len(signed)} transfers signed on {workers} threads; {sum(verified)} verified")
    if all(verified) and same and rejected:
        print("all signatures verify")
        return 0
    print(f"FAILED: verified {sum(verified)} of {len(verified)}, same as one thread: {same}, "
          f"other digest rejected: {rejected}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
