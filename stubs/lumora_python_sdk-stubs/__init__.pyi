"""Type information and documentation for lumora_python_sdk, the exchange's
native hashing, signing and key module.

Every argument is a ``str`` and every result a ``str`` or a ``bool``; documents
and records travel as JSON text. The texts the functions accept:

- hash text (``msg`` of ``sign``, ``eth_sign`` and ``verify_signature``): one
  optional lowercase "0x", then at most 64 hexadecimal digits of either case,
  big-endian; an odd number of digits is fine and an empty text means 0.
  ``eth_sign`` first removes every leading "0x" and then every leading "0X".
- private-key text: any number of leading lowercase "0x", then exactly 64
  hexadecimal digits of either case (32 bytes, big-endian), a value below the
  order of the signing group, l = 0x060c89ce5c263405370a08b6d0302b0bab3eedb83920ee0a677297dc392126f1.
  "0X" is not accepted. The key 0 is accepted: its public key is the
  neutral point, which verifies nothing.
- packed public key: the 32-byte point encoding read as a little-endian
  integer (the affine y, with the parity of x in the top bit), written as hex
  text: one optional lowercase "0x", then at most 64 hexadecimal digits of
  either case. Results print it as "0x" and 64 lowercase digits.

Results: digests, keys, coordinates and signature values are "0x" followed by
exactly 64 lowercase hexadecimal digits (leading zeros kept); JSON results are
compact (no spaces), with their keys in the order shown.

Failures: the signing functions and ``verify_signature`` raise ``ValueError``;
hashing and key conversion raise ``PanicException`` (module ``pyo3_runtime``),
which derives from ``BaseException``, not ``Exception``, and cannot be
imported: catch it by class name and module. Every such failure is also
written to standard error. An argument that is not a ``str``, or wrong
argument names or counts, raise ``TypeError``; a ``str`` holding a lone
surrogate raises ``UnicodeEncodeError``; running out of memory raises
``MemoryError``. No message holds a private key, and an input text a message
echoes is cut after 200 characters. Calls release the interpreter lock
while the native work runs, so threads may call in parallel.
"""

__version__: str
"""The installed version, as the distribution's metadata gives it (not in ``__all__``)."""

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
    """Whether (sig_r, sig_s) is a signature of the hash msg under a public key.

    Args:
        sig_r: the packed point R (the "r" of a signature): every leading "0x",
            then every leading "0X" is removed, then at most 64 hexadecimal
            digits of either case. Must decode to a curve point.
        sig_s: the scalar s (the "s" of a signature), prefixes removed as for
            sig_r, at most 64 hexadecimal digits of either case; must be below l.
        pub_key_x: the signer's packed public key: one optional lowercase
            "0x", then at most 64 hexadecimal digits of either case.
        pub_key_y: accepted and ignored; any text will do.
        msg: the signed hash: one optional lowercase "0x", then at most 64
            hexadecimal digits of either case.

    Returns:
        True when the signature verifies. False, without raising, for a
        well-formed signature that does not: another hash or key, an altered
        s, R or key outside the signing group, or the neutral point as key.

    Raises:
        ValueError: a malformed text, an r that is not a curve point, an s of
            l or more, or a key that is not a curve point, for example
            "Couldn't get verify_signature result: could not decode public key by x and y".
        TypeError: an argument that is not a str.

    Example:
        >>> verify_signature("0xae116a407971934cf33428f13f738d0dbe2c99a0304462621d89cf41eeb02a44", "0x04dc68469144c9fae107a20ccb0fb4c46a1c66824cb7ce5582567a988c11ba3c", "0x800a7be2e69b40a39b77b5483e5a5b6c26d8d090acc169cc4d73c31c14888db7", "", "0x1234")
        True
    """

def sign_withdraw(json: str, pri_key: str) -> str:
    """Sign the digest of a withdrawal document (the digest hash_withdraw returns).

    Args:
        json: a withdrawal document, as for hash_withdraw.
        pri_key: the private-key text: any number of leading lowercase "0x",
            then exactly 64 hexadecimal digits of either case, below l.

    Returns:
        The signature as compact JSON, '{"r":"0x…","s":"0x…"}': r is the
        packed point R, s the scalar, each "0x" and 64 lowercase hex digits.

    Raises:
        ValueError: a document that does not decode ("Couldn get
            jubjubSignature: " and the reason) or a malformed key
            ("called `Result::unwrap()` on an `Err` value: " and the reason).
        TypeError: an argument that is not a str.

    Example:
        >>> sign_withdraw('{"nonce":"1","public_key":"0x1","expiration_timestamp":"2","position_id":"3","amount":"4","eth_address":"0x5","asset_id":"0x6"}', "0x" + "01" * 32)
        '{"r":"0x...","s":"0x..."}'
    """

def sign_transfer(json: str, pri_key: str) -> str:
    """Sign the digest of a transfer document (the digest hash_transfer returns).

    Args:
        json: a transfer document, as for hash_transfer.
        pri_key: the private-key text: any number of leading lowercase "0x",
            then exactly 64 hexadecimal digits of either case, below l.

    Returns:
        The signature as compact JSON, '{"r":"0x…","s":"0x…"}': r is the
        packed point R, s the scalar, each "0x" and 64 lowercase hex digits.

    Raises:
        ValueError: a document that does not decode or a malformed key, both
            as "called `Result::unwrap()` on an `Err` value: " and the reason.
        TypeError: an argument that is not a str.

    Example:
        >>> sign_transfer('{"nonce":"1","public_key":"0x1","expiration_timestamp":"2","sender_position_id":"3","receiver_public_key":"0x1","receiver_position_id":"4","amount":"5","asset_id":"0x6"}', "0x" + "01" * 32)
        '{"r":"0x...","s":"0x..."}'
    """

def sign_limit_order(json: str, pri_key: str) -> str:
    """Sign the digest of a limit-order document (the digest hash_limit_order returns).

    Args:
        json: a limit-order document, as for hash_limit_order.
        pri_key: the private-key text: any number of leading lowercase "0x",
            then exactly 64 hexadecimal digits of either case, below l.

    Returns:
        The signature as compact JSON, '{"r":"0x…","s":"0x…"}': r is the
        packed point R, s the scalar, each "0x" and 64 lowercase hex digits.

    Raises:
        ValueError: a document that does not decode or a malformed key
            ("Couldn get jubjubSignature: " and the reason), or a negative
            asset_id_synthetic ("Unsigned integer can't be created from negative value").
        TypeError: an argument that is not a str.

    Example:
        >>> sign_limit_order('{"nonce":"1","public_key":"0x1","expiration_timestamp":"2","amount_synthetic":"3","amount_collateral":"4","amount_fee":"5","asset_id_synthetic":"0x6","asset_id_collateral":"0x7","position_id":"8","is_buying_synthetic":true}', "0x" + "01" * 32)
        '{"r":"0x...","s":"0x..."}'
    """

def sign_liquidate(json: str, pri_key: str) -> str:
    """Sign a liquidation: the signature of its liquidator order, exactly as
    sign_limit_order signs that order.

    Args:
        json: a liquidation document, as for hash_liquidate.
        pri_key: the private-key text: any number of leading lowercase "0x",
            then exactly 64 hexadecimal digits of either case, below l.

    Returns:
        The signature as compact JSON, '{"r":"0x…","s":"0x…"}': r is the
        packed point R, s the scalar, each "0x" and 64 lowercase hex digits.

    Raises:
        ValueError: a document that does not decode or a malformed key
            ("Couldn get jubjubSignature: " and the reason), or a negative
            asset_id_synthetic ("Unsigned integer can't be created from negative value").
        TypeError: an argument that is not a str.

    Example:
        >>> sign_liquidate('[{"nonce":"1","public_key":"0x1","expiration_timestamp":"2","amount_synthetic":"3","amount_collateral":"4","amount_fee":"5","asset_id_synthetic":"0x6","asset_id_collateral":"0x7","position_id":"8","is_buying_synthetic":true}, "9", "10", "11", "12"]', "0x" + "01" * 32)
        '{"r":"0x...","s":"0x..."}'
    """

def sign_signed_oracle_price(json: str, pri_key: str) -> str:
    """Sign the digest of a signed-oracle-price document (the digest
    hash_signed_oracle_price returns).

    Args:
        json: a signed-oracle-price document, as for hash_signed_oracle_price.
        pri_key: the private-key text: any number of leading lowercase "0x",
            then exactly 64 hexadecimal digits of either case, below l.

    Returns:
        The signature as compact JSON, '{"r":"0x…","s":"0x…"}': r is the
        packed point R, s the scalar, each "0x" and 64 lowercase hex digits.

    Raises:
        ValueError: a document that does not decode or a malformed key
            ("Couldn get jubjubSignature: " and the reason).
        TypeError: an argument that is not a str.

    Example:
        >>> sign_signed_oracle_price('["0x1", "1", "2", "0x3"]', "0x" + "01" * 32)
        '{"r":"0x...","s":"0x..."}'
    """

def hash_withdraw(json: str) -> str:
    """The Poseidon digest of a withdrawal document.

    Args:
        json: a JSON object with the string members "nonce" (decimal, 64-bit),
            "public_key" (packed public key, hex), "expiration_timestamp"
            (decimal, 32-bit), "position_id" and "amount" (decimal, 64-bit),
            "eth_address" and "asset_id" (hex, 256-bit). Decimal numbers allow
            one leading "+" and leading zeros; hex values allow one lowercase
            "0x" and at most 64 digits of either case. Other members are ignored.

    Returns:
        The digest: "0x" and 64 lowercase hexadecimal digits.

    Raises:
        PanicException: a document that does not decode, for example
            "Couldn't get hash: missing field `amount` at line 1 column 114".
            It derives from BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> hash_withdraw('{"nonce":"1","public_key":"0x1","expiration_timestamp":"2","position_id":"3","amount":"4","eth_address":"0x5","asset_id":"0x6"}')
        '0x...'
    """

def hash_transfer(json: str) -> str:
    """The Poseidon digest of a transfer document.

    Args:
        json: a JSON object with the string members "nonce" (decimal, 64-bit),
            "public_key" (packed public key, hex), "expiration_timestamp"
            (decimal, 32-bit), "sender_position_id", "receiver_position_id"
            and "amount" (decimal, 64-bit), "receiver_public_key" (packed
            public key, hex) and "asset_id" (hex, 256-bit). Decimal numbers
            allow one leading "+" and leading zeros; hex values allow one
            lowercase "0x" and at most 64 digits of either case. Other members
            are ignored; neither public key enters the digest.

    Returns:
        The digest: "0x" and 64 lowercase hexadecimal digits.

    Raises:
        PanicException: a document that does not decode, as
            "called `Result::unwrap()` on an `Err` value: Error(" followed by the
            quoted reason, ", line: ", the line, ", column: ", the column, ")".
            It derives from BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> hash_transfer('{"nonce":"1","public_key":"0x1","expiration_timestamp":"2","sender_position_id":"3","receiver_public_key":"0x1","receiver_position_id":"4","amount":"5","asset_id":"0x6"}')
        '0x...'
    """

def hash_limit_order(json: str) -> str:
    """The Poseidon digest of a limit-order document.

    Args:
        json: a JSON object with the string members "nonce" (decimal, 64-bit),
            "public_key" (packed public key, hex), "expiration_timestamp"
            (decimal, 32-bit), "amount_synthetic", "amount_collateral",
            "amount_fee" and "position_id" (decimal, 64-bit),
            "asset_id_synthetic" (hex, signed 128-bit: any number of leading
            lowercase "0x", then an optional sign), "asset_id_collateral"
            (hex, 256-bit), and "is_buying_synthetic" (the JSON literal true
            or false, not a string). Decimal numbers allow one leading "+" and
            leading zeros; 256-bit hex values allow one lowercase "0x" and at
            most 64 digits of either case. Other members are ignored.

    Returns:
        The digest: "0x" and 64 lowercase hexadecimal digits.

    Raises:
        PanicException: a document that does not decode ("Couldn't get hash: "
            and the reason), or a negative asset_id_synthetic ("Unsigned
            integer can't be created from negative value"). It derives from
            BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> hash_limit_order('{"nonce":"1","public_key":"0x1","expiration_timestamp":"2","amount_synthetic":"3","amount_collateral":"4","amount_fee":"5","asset_id_synthetic":"0x6","asset_id_collateral":"0x7","position_id":"8","is_buying_synthetic":true}')
        '0x...'
    """

def hash_liquidate(json: str) -> str:
    """The Poseidon digest of a liquidation document: the limit-order digest
    of its liquidator order.

    Args:
        json: a JSON object with the members "liquidator_order" (a limit-order
            object, as for hash_limit_order), "liquidated_position_id",
            "actual_collateral", "actual_synthetic" and
            "actual_liquidator_fee" (decimal strings, 64-bit), or a JSON array
            of these five values in this order. Only the liquidator order
            enters the digest.

    Returns:
        The digest: "0x" and 64 lowercase hexadecimal digits.

    Raises:
        PanicException: a document that does not decode ("Couldn't get hash: "
            and the reason), or a negative asset_id_synthetic in the order
            ("Unsigned integer can't be created from negative value"). It
            derives from BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> hash_liquidate('[{"nonce":"1","public_key":"0x1","expiration_timestamp":"2","amount_synthetic":"3","amount_collateral":"4","amount_fee":"5","asset_id_synthetic":"0x6","asset_id_collateral":"0x7","position_id":"8","is_buying_synthetic":true}, "9", "10", "11", "12"]')
        '0x...'
    """

def hash_signed_oracle_price(json: str) -> str:
    """The Poseidon digest of a signed-oracle-price document.

    Args:
        json: a JSON object with the string members "signer_key" (packed
            public key, hex), "external_price" (decimal, 128-bit), "timestamp"
            (decimal, 32-bit) and "signed_asset_id" (hex, 256-bit), or a JSON
            array of these four values in this order. The signer key does not
            enter the digest.

    Returns:
        The digest: "0x" and 64 lowercase hexadecimal digits.

    Raises:
        PanicException: a document that does not decode, for example
            "Couldn't get hash: invalid length 3, expected struct SignedOraclePrice with 4 elements at line 1 column 17".
            It derives from BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> hash_signed_oracle_price('["0x1", "1", "2", "0x3"]')
        '0x...'
    """

def sign(private_key: str, msg: str) -> str:
    """Sign a 256-bit hash, as the transaction signers sign their digests.

    Args:
        private_key: the private-key text: any number of leading lowercase
            "0x", then exactly 64 hexadecimal digits of either case, below l.
        msg: the hash: one optional lowercase "0x" (not "0X"), then at most 64
            hexadecimal digits of either case; the empty text is 0.

    Returns:
        The signature as compact JSON, '{"r":"0x…","s":"0x…"}': r is the
        packed point R, s the scalar, each "0x" and 64 lowercase hex digits.

    Raises:
        ValueError: a malformed key or hash, for example
            "Couldn't sign msg: Odd number of digits".
        TypeError: an argument that is not a str.

    Example:
        >>> sign("0x" + "01" * 32, "0x1234")
        '{"r":"0x...","s":"0x..."}'
    """

def eth_sign(private_key: str, msg: str) -> str:
    """Sign a 256-bit hash and return the signature with the signer's public key.

    The signature is the one sign() makes for the same key and hash.

    Args:
        private_key: the private-key text: any number of leading lowercase
            "0x", then exactly 64 hexadecimal digits of either case, below l.
            It is checked before the hash.
        msg: the hash: every leading "0x" and then every leading "0X" is
            removed, then at most 64 hexadecimal digits of either case.

    Returns:
        Compact JSON with five values, each "0x" and 64 lowercase hex digits:
        '{"x":…,"y":…,"s":…,"pk_x":…,"pk_y":…}': x and y are the affine
        coordinates of R, s the scalar, pk_x the packed public key and pk_y
        the public key's affine x (the pair private_key_to_public_key_xy gives).

    Raises:
        ValueError: a malformed key or hash, for example
            "Couldn't sign msg: Incorrect input size. Actual: 33, expected: 32".
        TypeError: an argument that is not a str.

    Example:
        >>> eth_sign("0x" + "01" * 32, "0x1234")
        '{"x":"0x...","y":"0x...","s":"0x...","pk_x":"0x...","pk_y":"0x..."}'
    """

def private_key_from_seed(seed: str) -> str:
    """Derive a private key from a seed: SHA-256 of the seed, then SHA-256
    repeated until the value is below l.

    Args:
        seed: any text of at least 32 bytes in UTF-8.

    Returns:
        The private-key text: "0x" and 64 lowercase hexadecimal digits.

    Raises:
        PanicException: a seed shorter than 32 bytes,
            "Couldn't derive private key from seed: seed is too short".
            It derives from BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> private_key_from_seed("a seed of at least thirty-two bytes")
        '0x0531ea2e2875a7b7ff54983a2dbbb2bbb2ce2033dabcc1da2a3215a7d0a7b87e'
    """

def is_on_curve(x: str, y: str) -> bool:
    """Whether a public-key pair is consistent: whether y is the affine x of
    the packed public key x, compared as text.

    Args:
        x: the packed public key: every leading "0x" and then every leading
            "0X" is removed, then at most 64 hexadecimal digits of either case.
        y: the affine x of that key: after the same prefix removal it must be
            exactly the 64 lowercase hexadecimal digits, leading zeros
            included; other spellings of the same number give False.

    Returns:
        True or False. A key below 2**160 (other than 0) is not decoded: its
        affine x is taken as 0.

    Raises:
        PanicException: an x that is not hex text ("Couldn't get verify xy is
            on curve: " and the reason) or not a curve point ("called
            `Result::unwrap()` on an `Err` value: RestoreRPoint(...)"). It
            derives from BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> is_on_curve("0x9650e22f84651e461386f388126f5519264efe62bd9ce683af2560478272079b", "0x2677fce3a4569752b38669c49aff247b346b844efb1147708d6fa6a2be4f77a5")
        True
    """

def public_key_to_xy(public_key: str) -> str:
    """The public-key pair of a packed public key.

    Args:
        public_key: the packed public key: every leading "0x" and then every
            leading "0X" is removed, then at most 64 hexadecimal digits of
            either case.

    Returns:
        Compact JSON '{"x":…,"y":…}': x is "0x" followed by the digits as
        given (case and leading zeros kept), y the key's affine x as "0x" and
        64 lowercase hexadecimal digits. A key below 2**160 (other than 0) is
        not decoded: y is then "0x" and 64 zeros.

    Raises:
        PanicException: a text that is not hex ("Couldn't convert public key
            to xy: " and the reason) or a value that is not a curve point
            ("called `Result::unwrap()` on an `Err` value: RestoreRPoint(...)").
            It derives from BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> public_key_to_xy("0x9650e22f84651e461386f388126f5519264efe62bd9ce683af2560478272079b")
        '{"x":"0x9650e22f84651e461386f388126f5519264efe62bd9ce683af2560478272079b","y":"0x2677fce3a4569752b38669c49aff247b346b844efb1147708d6fa6a2be4f77a5"}'
    """

def private_key_to_public_key_xy(private_key: str) -> str:
    """The public-key pair of a private key.

    Args:
        private_key: the private-key text: any number of leading lowercase
            "0x", then exactly 64 hexadecimal digits of either case, below l.

    Returns:
        Compact JSON '{"x":…,"y":…}': x is the packed public key and y its
        affine x, each "0x" and 64 lowercase hexadecimal digits.

    Raises:
        PanicException: a malformed key, for example "Couldn't convert private
            key to public key xy: Odd number of digits". It derives from
            BaseException, not Exception.
        TypeError: an argument that is not a str.

    Example:
        >>> private_key_to_public_key_xy("0x02F9672BACC14AD91ED378C64715CC60BEF1C97FAE658AEAD2ED338C530AFAC0")
        '{"x":"0x9650e22f84651e461386f388126f5519264efe62bd9ce683af2560478272079b","y":"0x2677fce3a4569752b38669c49aff247b346b844efb1147708d6fa6a2be4f77a5"}'
    """
