// Signing, verification and the records signatures travel in.
//
// Every signature is made over the 32 little-endian bytes of a 256-bit value
// (a transaction digest or a caller's hash) with the signing generator of the
// shared parameter set.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/error.h"
#include "common/kernel_copy.h"
#include "eddsa/eddsa.h"
#include "integers/u256.h"
#include "sdk/keys.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

// The signer's packed public key and the signature.
struct TxSignature {
    PackedPublicKey public_key;
    eddsa::OwnSignature signature;

    // Nonce, signature, then the new signature verified under sk before the
    // packed key is produced; a signature that fails its own check aborts.
    static TxSignature sign_msg(const Fs& sk, std::span<const std::uint8_t> message);
};

// R as canonical affine coordinates, s as the canonical integer of an Fs.
struct JubjubSignature {
    BabyJubjubPoint r;
    U256 s;

    static JubjubSignature from_tx_signature(const TxSignature& signature);
    // Each text loses its leading "0x", then "0X", prefixes and is read with
    // the radix-16 form; R is unpacked from r. Both steps abort on failure.
    // s is not compared with l here.
    static JubjubSignature from_str(std::string_view r, std::string_view s);

    // The compact JSON of the serialised form: {"r":packed R,"s":s}, each
    // "0x" and 64 lowercase digits. Aborts as point_from_xy does.
    std::string to_json() const;
};

// The form verification consumes: R from its coordinates (aborting as
// point_from_xy does), s through the rejecting conversion (an s of l or
// more aborts with the field's NotInField debug form).
eddsa::Signature to_packed_signature(const JubjubSignature& signature);

// The point with these canonical coordinates: x, then y, must be below p
// ("called `Result::unwrap()` on an `Err` value: NotInField(…)"), and on the
// curve ("called `Option::unwrap()` on a `None` value").
PublicKey point_from_xy(const U256& x, const U256& y);

// A hash signature: R's affine coordinates, s, and the signer's public-key
// pair (packed key, affine x), as canonical integers.
struct L1Signature {
    U256 x, y, s, pk_x, pk_y;

    // {"x":…,"y":…,"s":…,"pk_x":…,"pk_y":…}, each value "0x" and 64 lowercase digits.
    std::string to_json() const;
};

// Signs the hash text msg (plain U256 form; its failure is returned) with the
// private-key text (private_key_from_string's failures are returned).
Result<JubjubSignature> sign(std::string_view private_key, std::string_view msg);

// Like sign, with the key examined before the hash, the hash text losing all
// leading "0x", then "0X", prefixes, and the result given as the signature
// point's coordinates, s, and the signer's public-key pair (packed key, x).
Result<L1Signature> l1_sign(std::string_view msg, std::string_view private_key);

// The transaction signers: decode the document, hash the record, parse the
// private key, sign the digest. How a rejected document or key is reported
// differs by kind, as the exchange's own signers do:
//   transfer      document aborts, key aborts;
//   withdrawal    document returned, key aborts;
//   limit order, liquidation, oracle price: both returned.
// A liquidation is signed as its liquidator order (the same digest).
// Aborts carry "called `Result::unwrap()` on an `Err` value: " and the failure.
Result<JubjubSignature> sign_transfer(std::string_view json, std::string_view private_key);
Result<JubjubSignature> sign_withdraw(std::string_view json, std::string_view private_key);
Result<JubjubSignature> sign_limit_order(std::string_view json, std::string_view private_key);
Result<JubjubSignature> sign_liquidate(std::string_view json, std::string_view private_key);
Result<JubjubSignature> sign_signed_oracle_price(std::string_view json, std::string_view private_key);

// Whether (sig_r, sig_s) signs the hash msg under the packed key pub_key_x.
// pub_key_y is accepted and ignored. Returned failures: msg (plain form),
// pub_key_x (radix-16 form), a key that is not a curve point ("could not
// decode public key by x and y"). Aborts: an r that does not decode, an s of
// l or more, a packed key that does not decode.
Result<bool> verify_signature(std::string_view sig_r, std::string_view sig_s, std::string_view pub_key_x,
                              std::string_view pub_key_y, std::string_view msg);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
