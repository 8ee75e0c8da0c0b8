"""The module's main job: hash, sign and verify sample transactions.

Run it with `bash scripts/run-example.sh` (or `python examples/demo.py` where the
module is installed). It prints every result and exits non-zero if any
signature fails to verify.
"""
import json
import sys

import lumora_python_sdk as sdk


def main() -> int:
    # Keys: a private key from a seed, and its public-key pair (packed key, affine x).
    private_key = sdk.private_key_from_seed("an example seed: never use a fixed seed for real funds")
    pair = json.loads(sdk.private_key_to_public_key_xy(private_key))
    public_key, public_x = pair["x"], pair["y"]
    print(f"private key         {private_key}")
    print(f"public key (packed) {public_key}")
    print(f"public key x        {public_x}")
    print(f"public_key_to_xy    {sdk.public_key_to_xy(public_key)}")
    print(f"is_on_curve         {sdk.is_on_curve(public_key, public_x)}")

    order_base = {"nonce": "17", "public_key": public_key, "expiration_timestamp": "1767225600"}
    limit_order = {
        **order_base,
        "amount_synthetic": "1000000",
        "amount_collateral": "25000000000",
        "amount_fee": "12500000",
        "asset_id_synthetic": "0x4254432d3130000000000000000000",
        "asset_id_collateral": "0x2893294412a4c8f915f75892b395ebbf6859ec246ec365c3b1f56f47c3a0a5d",
        "position_id": "42",
        "is_buying_synthetic": True,
    }
    documents = {
        "transfer": {
            **order_base,
            "sender_position_id": "42",
            "receiver_public_key": "0x1d01ff0aa1cc6267f57deb5be53ba53cbfc3400950e5decd542d9f2d61357519",
            "receiver_position_id": "43",
            "amount": "5000000",
            "asset_id": "0x2893294412a4c8f915f75892b395ebbf6859ec246ec365c3b1f56f47c3a0a5d",
        },
        "withdraw": {
            **order_base,
            "position_id": "42",
            "amount": "7000000",
            "eth_address": "0x3f1f2fd0b4e7b3b1b2a5c5f2d7e0c8a9b6d4e2f1",
            "asset_id": "0x2893294412a4c8f915f75892b395ebbf6859ec246ec365c3b1f56f47c3a0a5d",
        },
        "limit_order": limit_order,
        "liquidate": {
            "liquidator_order": limit_order,
            "liquidated_position_id": "99",
            "actual_collateral": "24000000000",
            "actual_synthetic": "1000000",
            "actual_liquidator_fee": "1000000",
        },
        "signed_oracle_price": {
            "signer_key": public_key,
            "external_price": "97250000000000000000000",
            "timestamp": "1767225600",
            "signed_asset_id": "0x425443555344000000000000000000004d616b657200000000000000000000",
        },
    }

    failures = 0
    for kind, document in documents.items():
        text = json.dumps(document)
        digest = getattr(sdk, f"hash_{kind}")(text)
        signature = json.loads(getattr(sdk, f"sign_{kind}")(text, private_key))
        valid = sdk.verify_signature(signature["r"], signature["s"], public_key, public_x, digest)
        failures += not valid
        print(f"\n{kind}\n  hash      {digest}\n  signature r={signature['r']}\n            s={signature['s']}"
              f"\n  verifies  {valid}")

    # A raw 256-bit hash, signed both ways: the two give the same R and s.
    digest = sdk.hash_transfer(json.dumps(documents["transfer"]))
    plain_text = sdk.sign(private_key, digest)
    l1_text = sdk.eth_sign(private_key, digest)
    plain, l1 = json.loads(plain_text), json.loads(l1_text)
    valid = sdk.verify_signature(plain["r"], plain["s"], public_key, public_x, digest)
    failures += not valid or l1["s"] != plain["s"] or l1["pk_x"] != public_key
    print(f"\nsign      {plain_text}\neth_sign  {l1_text}\n  verifies  {valid}")

    tampered = "0x" + format(int(digest, 16) ^ 1, "064x")
    rejected = not sdk.verify_signature(plain["r"], plain["s"], public_key, public_x, tampered)
    failures += not rejected
    print(f"a tampered hash is rejected: {rejected}")

    print("\nall signatures verify" if failures == 0 else f"\n{failures} check(s) FAILED")
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
