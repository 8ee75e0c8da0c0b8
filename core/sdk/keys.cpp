#include "sdk/keys.h"

#include <array>

#include "common/ct.h"
#include "common/hex.h"
#include "common/secret.h"
#include "common/text.h"
#include "curve/alt_jubjub.h"
#include "eddsa/eddsa.h"
#include "hashes/sha256.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

namespace {

std::string bytes_to_hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    hex::append_lower(out, bytes);
    return out;
}

// The Fs of a big-endian key, range-checked in constant time. A key of l or
// more is refused without its value: a rejected key is still the caller's
// secret, and a message may end up in a log.
Result<Secret<Fs>> fs_from_bytes_be(std::span<const std::uint8_t, 32> bytes) {
    const Secret<field::Repr> repr(integers::from_bytes_be(bytes));
    bool below = Fs::is_below_modulus(*repr);
    // Public: a key of l or more is refused, and the refusal is the API's answer.
    LUMORA_DECLASSIFY(&below, sizeof below);
    if (!below) return ConversionError::prime_field_decoding_error("the private key is not an element of the field");
    return Secret<Fs>(Fs::from_raw(*repr));
}

}  // namespace

Error ConversionError::incorrect_input_size(std::size_t size, std::size_t expected_size) {
    return Error{"Incorrect input size. Actual: " + std::to_string(size) + ", expected: " + std::to_string(expected_size),
                 {}};
}

Error ConversionError::hex_decoding_error(std::string_view failure) {
    return Error{"Cannot decode hex: " + std::string(failure), {}};
}

Error ConversionError::parsing_error(std::string_view failure) {
    return Error{"Cannot parse value " + std::string(failure), {}};
}

Error ConversionError::prime_field_decoding_error(std::string_view failure) {
    return Error{"Cannot convert into prime field value: " + std::string(failure), {}};
}

Result<Fs> FeConvert::from_bytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != 32) return ConversionError::incorrect_input_size(bytes.size(), 32);
    auto value = fs_from_bytes_be(bytes.first<32>());
    if (!value.ok()) return std::move(value).error();
    return *value.value();
}

std::string FeConvert::to_hex(const Fs& value) { return bytes_to_hex(integers::to_bytes_be(value.into_repr())); }

std::string FeConvert::to_hex(const Fr& value) { return bytes_to_hex(integers::to_bytes_be(value.into_repr())); }

U256 fr_to_u256(const Fr& value) { return U256(value.into_repr()); }

U256 le_to_u256(std::span<const std::uint8_t, 32> bytes) { return U256::from_bytes_le(bytes); }

std::string_view strip_hex_prefixes(std::string_view text) {
    return hex::strip_prefixes_var(hex::strip_prefixes_var(text, "0x"), "0X");
}

Result<Secret<Fs>> private_key_from_string(std::string_view text) {
    std::size_t prefixes = hex::count_prefixes(text, "0x");
    // Public: after its prefixes a key has 64 digits, so for a key their
    // number follows from the text's length; any other text is refused.
    LUMORA_DECLASSIFY(&prefixes, sizeof prefixes);
    text.remove_prefix(2 * prefixes);
    if (text.size() % 2 != 0) return Error{"Odd number of digits", {}};
    // Only a key of exactly 32 bytes is kept; any other length is reported
    // by its byte count once every digit has been checked.
    Secret<std::array<std::uint8_t, 32>> bytes;
    const bool keep = text.size() == 2 * bytes->size();
    const std::size_t fault = hex::decode(text, keep ? std::span<std::uint8_t>(*bytes) : std::span<std::uint8_t>());
    if (fault != hex::NO_FAULT) {
        auto shown = static_cast<unsigned char>(text[fault]);
        LUMORA_DECLASSIFY(&shown, sizeof shown);  // the message carries it
        return Error{hex::invalid_character_message(shown, fault), {}};
    }
    if (!keep) return ConversionError::incorrect_input_size(text.size() / 2, bytes->size());
    return fs_from_bytes_be(*bytes);
}

Result<std::string> private_key_from_seed(std::string_view seed) {
    if (seed.size() < 32) return Error{"seed is too short", {}};
    Secret<hashes::Sha256Digest> h;
    hashes::sha256(text::bytes_of(seed), *h);
    // SHA-256(seed) itself is never a candidate.
    for (;;) {
        hashes::sha256(*h, *h);
        const Secret<field::Repr> candidate(integers::from_bytes_be(*h));
        bool accepted = Fs::is_below_modulus(*candidate);
        // Public: how many candidates were refused says nothing of the one
        // accepted (each is a fresh hash).
        LUMORA_DECLASSIFY(&accepted, sizeof accepted);
        if (accepted) break;
    }
    // Sized once: no reallocation leaves a copy of the key behind.
    std::string text(2 + 2 * h->size(), 'x');
    text[0] = '0';
    hex::encode_lower(*h, text.data() + 2);
    return text;
}

PackedPublicKey public_key_from_private(const Fs& sk) {
    const auto pk = eddsa::public_key(sk, curve::SIGNING_GENERATOR, curve::jubjub_params());
    const auto [x, y] = pk.to_xy_var();  // public, and affine already
    return le_to_u256(curve::edwards::write_xy(x, y));
}

std::pair<Fr, Fr> get_xy_from_r(const U256& packed) {
    const auto bytes = packed.to_bytes_le();
    const auto point = curve::edwards::read_var(bytes, curve::jubjub_params());
    if (!point.ok())
        abort_with("called `Result::unwrap()` on an `Err` value: RestoreRPoint(" +
                   curve::edwards::read_error_debug(point.error()) + ")");
    return point.value().to_xy_var();
}

BabyJubjubPoint unpack_public_key(const PackedPublicKey& packed) {
    const bool below_2_160 = packed.limb(3) == 0 && (packed.limb(2) >> 32) == 0;
    if (!packed.is_zero() && below_2_160) return {U256(), packed};
    const auto [x, y] = get_xy_from_r(packed);
    return {fr_to_u256(x), fr_to_u256(y)};
}

Result<PublicKey> convert_to_pubkey(const U256& x, const U256& y) {
    auto fx = Fr::from_repr(x.limbs);
    if (!fx.ok()) return std::move(fx).error();
    auto fy = Fr::from_repr(y.limbs);
    if (!fy.ok()) return std::move(fy).error();
    auto point = curve::edwards::from_xy(fx.value(), fy.value(), curve::jubjub_params());
    if (!point) return Error{"could not decode public key by x and y", {}};
    return *point;
}

std::string json_object(std::initializer_list<JsonMember> members) {
    constexpr std::size_t U256_TEXT = 2 + 64;
    std::size_t size = 2;  // the braces
    for (const JsonMember& m : members) {
        const auto* text = std::get_if<std::string_view>(&m.value);
        size += m.key.size() + 6 + (text != nullptr ? text->size() : U256_TEXT);  // quotes, colon and comma
    }
    std::string out;
    out.reserve(size);
    out += '{';
    for (const JsonMember& m : members) {
        if (out.size() > 1) out += ',';
        out += '"';
        out += m.key;
        out += "\":";
        if (const auto* text = std::get_if<std::string_view>(&m.value)) {
            text::append_json_string(out, *text);
        } else {
            out += '"';
            std::get<U256>(m.value).append_hex(out);
            out += '"';
        }
    }
    out += '}';
    return out;
}

Result<PublicKeyPair> public_key_pair(std::string_view text) {
    const std::string_view t = strip_hex_prefixes(text);
    auto packed = U256::from_str_radix16(t);
    if (!packed.ok()) return std::move(packed).error();
    const BabyJubjubPoint point = unpack_public_key(packed.value());
    return PublicKeyPair{"0x" + std::string(t), point.x.to_hex()};
}

Result<std::string> public_key_to_xy(std::string_view public_key) {
    auto pair = public_key_pair(public_key);
    if (!pair.ok()) return std::move(pair).error();
    return json_object({{"x", pair.value().packed}, {"y", pair.value().x}});
}

Result<std::string> private_key_to_public_key_xy(std::string_view private_key) {
    auto sk = private_key_from_string(private_key);
    if (!sk.ok()) return std::move(sk).error();
    return public_key_to_xy(public_key_from_private(*sk.value()).to_hex());
}

Result<bool> is_on_curve(std::string_view x, std::string_view y) {
    const std::string_view tx = strip_hex_prefixes(x);
    const std::string_view ty = strip_hex_prefixes(y);
    auto pair = public_key_pair(tx);
    if (!pair.ok()) return std::move(pair).error();
    return strip_hex_prefixes(pair.value().packed) == tx && strip_hex_prefixes(pair.value().x) == ty;
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
