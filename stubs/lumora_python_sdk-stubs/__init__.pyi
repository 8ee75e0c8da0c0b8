"""Type information for lumora_python_sdk, the exchange's native hashing, signing and key module."""

__all__ = [
    "verify_signature",
    "sign_withdraw",
    "sign_transfer",
    "sign_limit_order",
    "sign_liquidate",
    "sign_signed_oracle_price",
    "hash_withdraw",
    "hash_transfer",
    "hash_limit_order",
    "hash_liquidate",
    "hash_signed_oracle_price",
    "sign",
    "eth_sign",
    "private_key_from_seed",
    "is_on_curve",
    "public_key_to_xy",
    "private_key_to_public_key_xy",
]

def verify_signature(sig_r: str, sig_s: str, pub_key_x: str, pub_key_y: str, msg: str) -> bool:
    """Whether (sig_r, sig_s) signs the hash msg under the packed public key pub_key_x."""

def sign_withdraw(json: str, pri_key: str) -> str:
    """Sign a withdrawal document; returns '{"r":…,"s":…}'."""

def sign_transfer(json: str, pri_key: str) -> str:
    """Sign a transfer document; returns '{"r":…,"s":…}'."""

def sign_limit_order(json: str, pri_key: str) -> str:
    """Sign a limit-order document; returns '{"r":…,"s":…}'."""

def sign_liquidate(json: str, pri_key: str) -> str:
    """Sign a liquidation document (its liquidator order); returns '{"r":…,"s":…}'."""

def sign_signed_oracle_price(json: str, pri_key: str) -> str:
    """Sign a signed-oracle-price document; returns '{"r":…,"s":…}'."""

def hash_withdraw(json: str) -> str:
    """The Poseidon digest of a withdrawal document, as "0x" and 64 hex digits."""

def hash_transfer(json: str) -> str:
    """The Poseidon digest of a transfer document, as "0x" and 64 hex digits."""

def hash_limit_order(json: str) -> str:
    """The Poseidon digest of a limit-order document, as "0x" and 64 hex digits."""

def hash_liquidate(json: str) -> str:
    """The Poseidon digest of a liquidation document, as "0x" and 64 hex digits."""

def hash_signed_oracle_price(json: str) -> str:
    """The Poseidon digest of a signed-oracle-price document, as "0x" and 64 hex digits."""

def sign(private_key: str, msg: str) -> str:
    """Sign a 256-bit hash given in hex; returns '{"r":…,"s":…}'."""

def eth_sign(private_key: str, msg: str) -> str:
    """Sign a 256-bit hash; returns the signature point, s and the public key as '{"x","y","s","pk_x","pk_y"}'."""

def private_key_from_seed(seed: str) -> str:
    """Derive a private key text from a seed text."""

def is_on_curve(x: str, y: str) -> bool:
    """Whether the public-key pair (packed key x, affine x y) is consistent."""

def public_key_to_xy(public_key: str) -> str:
    """The pair '{"x":packed key,"y":affine x}' of a packed public key."""

def private_key_to_public_key_xy(private_key: str) -> str:
    """The pair '{"x":packed key,"y":affine x}' of a private key's public key."""
