#include "sdk/signing.h"

#include "common/secret.h"
#include "common/text.h"
#include "curve/alt_jubjub.h"
#include "eddsa/nonce.h"
#include "sdk/documents.h"
#include "sdk/hashing.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

namespace {

constexpr std::string_view UNWRAP_ERR = "called `Result::unwrap()` on an `Err` value: ";

const curve::AltJubjubBn256& params() { return curve::jubjub_params(); }

Fr fr_or_abort(const U256& value) {
    const field::Repr repr = value.limbs;
    auto element = Fr::from_repr(repr);
    if (!element.ok()) abort_with(std::string(UNWRAP_ERR) + field::not_in_field_debug(repr));
    return element.value();
}

U256 u256_or_abort(std::string_view text) {
    auto value = U256::from_str_radix16(strip_hex_prefixes(text));
    if (!value.ok()) abort_with(std::string(UNWRAP_ERR) + value.error().message);
    return value.value();
}

U256 fs_to_u256(const Fs& value) { return U256(value.into_repr()); }

JubjubSignature sign_digest(const Fs& sk, const U256& digest) {
    const auto bytes = digest.to_bytes_le();
    return JubjubSignature::from_tx_signature(TxSignature::sign_msg(sk, bytes));
}

Secret<Fs> private_key_or_abort(std::string_view text) {
    auto sk = private_key_from_string(text);
    if (!sk.ok()) abort_with(std::string(UNWRAP_ERR) + text::quote_debug(sk.error().message));
    return std::move(sk).value();
}

// How an operation reports a rejected input (LUMORA_SDK_DOCUMENT_KINDS).
enum class Rejection { RETURNED, ABORTS };

// The digest of a document's record; a rejected document returned or
// aborting as OnDocument says.
template <class Record, auto Digest, Rejection OnDocument>
Result<U256> document_digest(std::string_view json) {
    if constexpr (OnDocument == Rejection::ABORTS) {
        return Digest(parse_document_or_abort<Record>(json));
    } else {
        auto record = parse_document<Record>(json);
        if (!record.ok()) return std::move(record).error();
        return Digest(record.value());
    }
}

template <class Record, auto Digest, Rejection OnDocument>
Result<std::string> hash_document(std::string_view json) {
    auto digest = document_digest<Record, Digest, OnDocument>(json);
    if (!digest.ok()) return std::move(digest).error();
    return digest.value().to_hex();
}

// Decoded record, digest, then key, then the signature's JSON.
template <class Record, auto Digest, Rejection OnDocument, Rejection OnKey>
Result<std::string> sign_document(std::string_view json, std::string_view private_key) {
    auto digest = document_digest<Record, Digest, OnDocument>(json);
    if (!digest.ok()) return std::move(digest).error();
    if constexpr (OnKey == Rejection::ABORTS) {
        return sign_digest(*private_key_or_abort(private_key), digest.value()).to_json();
    } else {
        auto sk = private_key_from_string(private_key);
        if (!sk.ok()) return std::move(sk).error();
        return sign_digest(*sk.value(), digest.value()).to_json();
    }
}

// sign_msg, also handing out the public key's affine x, which eth_sign prints:
// the key is computed and made affine once.
TxSignature sign_msg_with_key_x(const Fs& sk, std::span<const std::uint8_t> message, Fr& pk_x) {
    const auto& set = params();
    const Secret<Fs> r(eddsa::deterministic_seed(sk, message));
    const auto [pk, signature] = eddsa::sign_raw_message_with_key(sk, message, *r, curve::SIGNING_GENERATOR, set);
    if (!eddsa::verify_own_signature(pk, message, signature, curve::SIGNING_GENERATOR, set))
        abort_with("assertion `left == right` failed\n  left: false\n right: true");
    const auto [x, y] = pk.to_xy_var();  // public, and affine already
    pk_x = x;
    return TxSignature{le_to_u256(curve::edwards::write_xy(x, y)), signature};
}

}  // namespace

TxSignature TxSignature::sign_msg(const Fs& sk, std::span<const std::uint8_t> message) {
    Fr pk_x;
    return sign_msg_with_key_x(sk, message, pk_x);
}

JubjubSignature JubjubSignature::from_tx_signature(const TxSignature& signature) {
    const auto [x, y] = signature.signature.r.to_xy_var();  // R is public
    return JubjubSignature{{fr_to_u256(x), fr_to_u256(y)}, fs_to_u256(signature.signature.s)};
}

JubjubSignature JubjubSignature::from_str(std::string_view r, std::string_view s) {
    const U256 r_value = u256_or_abort(r);
    const U256 s_value = u256_or_abort(s);
    const auto [x, y] = get_xy_from_r(r_value);
    return JubjubSignature{{fr_to_u256(x), fr_to_u256(y)}, s_value};
}

std::string JubjubSignature::to_json() const {
    // The point is affine already; point_from_xy still checks that it is one.
    const PublicKey point = point_from_xy(r.x, r.y);
    return json_object({{"r", le_to_u256(curve::edwards::write_xy(point.x(), point.y()))}, {"s", s}});
}

eddsa::Signature to_packed_signature(const JubjubSignature& signature) {
    const PublicKey r = point_from_xy(signature.r.x, signature.r.y);
    const field::Repr s_repr = signature.s.limbs;
    auto s = Fs::from_repr(s_repr);
    if (!s.ok()) abort_with(std::string(UNWRAP_ERR) + field::not_in_field_debug(s_repr));
    return eddsa::Signature{r, s.value()};
}

PublicKey point_from_xy(const U256& x, const U256& y) {
    const Fr fx = fr_or_abort(x);
    const Fr fy = fr_or_abort(y);
    auto point = curve::edwards::from_xy(fx, fy, params());
    if (!point) abort_with("called `Option::unwrap()` on a `None` value");
    return *point;
}

Result<std::string> sign(std::string_view private_key, std::string_view msg) {
    auto hash = U256::from_str(msg);
    if (!hash.ok()) return std::move(hash).error();
    auto sk = private_key_from_string(private_key);
    if (!sk.ok()) return std::move(sk).error();
    return sign_digest(*sk.value(), hash.value()).to_json();
}

Result<std::string> eth_sign(std::string_view private_key, std::string_view msg) {
    const std::string_view stripped = strip_hex_prefixes(msg);
    auto sk = private_key_from_string(private_key);
    if (!sk.ok()) return std::move(sk).error();
    auto hash = U256::from_str(stripped);
    if (!hash.ok()) return std::move(hash).error();
    const auto bytes = hash.value().to_bytes_le();
    // The key's x comes from the shared parameter set, which gives the
    // values a freshly built one would.
    Fr pk_x;
    const TxSignature t = sign_msg_with_key_x(*sk.value(), bytes, pk_x);
    const auto [r_x, r_y] = t.signature.r.to_xy_var();  // R is public
    return json_object({{"x", fr_to_u256(r_x)},
                        {"y", fr_to_u256(r_y)},
                        {"s", fs_to_u256(t.signature.s)},
                        {"pk_x", t.public_key},
                        {"pk_y", fr_to_u256(pk_x)}});
}

#define LUMORA_SDK_DEFINE_DOCUMENT_OPERATIONS(stem, record, digest, on_document, on_key, ...)             \
    Result<std::string> hash_##stem(std::string_view json) {                                              \
        return hash_document<record, &digest, Rejection::on_document>(json);                              \
    }                                                                                                     \
    Result<std::string> sign_##stem(std::string_view json, std::string_view pri_key) {                    \
        return sign_document<record, &digest, Rejection::on_document, Rejection::on_key>(json, pri_key); \
    }
LUMORA_SDK_DOCUMENT_KINDS(LUMORA_SDK_DEFINE_DOCUMENT_OPERATIONS)
#undef LUMORA_SDK_DEFINE_DOCUMENT_OPERATIONS

Result<bool> verify_signature(std::string_view sig_r, std::string_view sig_s, std::string_view pub_key_x,
                              std::string_view /*pub_key_y*/, std::string_view msg) {
    const JubjubSignature parsed = JubjubSignature::from_str(sig_r, sig_s);
    const eddsa::Signature signature = to_packed_signature(parsed);
    auto hash = U256::from_str(msg);
    if (!hash.ok()) return std::move(hash).error();
    auto packed = U256::from_str_radix16(pub_key_x);
    if (!packed.ok()) return std::move(packed).error();
    const BabyJubjubPoint xy = unpack_public_key(packed.value());
    auto pk = convert_to_pubkey(xy.x, xy.y);
    if (!pk.ok()) return std::move(pk).error();
    const auto bytes = hash.value().to_bytes_le();
    return eddsa::verify_for_raw_message(pk.value(), bytes, signature, curve::SIGNING_GENERATOR, params());
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
