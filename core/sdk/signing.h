// Signing, verification, the records signatures travel in, and the
// operations on transaction documents.
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
#include "sdk/document_kinds.h"
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
    // "0x" and 64 lowercase digits (json_object). Aborts as point_from_xy does.
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

// Signs the hash text msg (plain U256 form; its failure is returned) with the
// private-key text (private_key_from_string's failures are returned); the
// signature's JSON (JubjubSignature::to_json).
Result<std::string> sign(std::string_view private_key, std::string_view msg);

// Like sign, with the key examined before the hash and the hash text losing
// all leading "0x", then "0X", prefixes. The result is
// {"x":…,"y":…,"s":…,"pk_x":…,"pk_y":…}: the signature point's affine
// coordinates, s, and the signer's public-key pair (packed key, affine x),
// each "0x" and 64 lowercase digits.
Result<std::string> eth_sign(std::string_view private_key, std::string_view msg);

// The operations of each document kind (LUMORA_SDK_DOCUMENT_KINDS, sdk/document_kinds.h):
//   hash_<stem>(json): decode the document into the kind's record, and print
//     the record's digest ("0x" and 64 lowercase digits);
//   sign_<stem>(json, pri_key): decode, digest, parse the private key, sign
//     the digest; the signature's JSON, as sign gives it for that digest.
// A rejected document, and a rejected key, is returned or aborts as the
// kind's row says; an abort carries "called `Result::unwrap()` on an `Err`
// value: " and the failure's debug form. A failure of the digest itself
// (a negative asset_id_synthetic) aborts before the key is read.
#define LUMORA_SDK_DECLARE_DOCUMENT_OPERATIONS(stem, ...)                  \
    Result<std::string> hash_##stem(std::string_view json);                \
    Result<std::string> sign_##stem(std::string_view json, std::string_view pri_key);
LUMORA_SDK_DOCUMENT_KINDS(LUMORA_SDK_DECLARE_DOCUMENT_OPERATIONS)
#undef LUMORA_SDK_DECLARE_DOCUMENT_OPERATIONS

// Whether (sig_r, sig_s) signs the hash msg under the packed key pub_key_x.
// pub_key_y is accepted and ignored. Returned failures: msg (plain form),
// pub_key_x (radix-16 form), a key that is not a curve point ("could not
// decode public key by x and y"). Aborts: an r that does not decode, an s of
// l or more, a packed key that does not decode.
Result<bool> verify_signature(std::string_view sig_r, std::string_view sig_s, std::string_view pub_key_x,
                              std::string_view pub_key_y, std::string_view msg);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
