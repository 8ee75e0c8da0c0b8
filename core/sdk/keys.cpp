#include "sdk/keys.h"

#include <openssl/sha.h>

#include <array>

#include "curve/alt_jubjub.h"

namespace lumora::sdk::inline LUMORA_KERNEL_NS {

namespace {

// The value of a hexadecimal digit of either case, or −1. Key texts are
// secrets: the value is computed with masks, so digits and letters take the
// same path; only a rejected character (a failure) branches.
int hex_digit_value(unsigned char ch) {
    const unsigned c = ch;
    // Each mask has its low bits set exactly when its range matched.
    const unsigned num = c ^ 0x30u;  // '0'..'9' → 0..9
    const unsigned num_mask = (num - 10u) >> 8;
    const unsigned alpha = (c & ~0x20u) - 0x37u;  // 'A'..'F', 'a'..'f' → 10..15
    const unsigned alpha_mask = ((alpha - 10u) ^ (alpha - 16u)) >> 8;
    if ((num_mask | alpha_mask) == 0) return -1;
    return static_cast<int>(((num_mask & num) | (alpha_mask & alpha)) & 0xf);
}

std::string bytes_to_hex(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * bytes.size());
    for (auto b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xf]);
    }
    return out;
}

std::string_view strip_repeated(std::string_view text, std::string_view prefix) {
    while (text.starts_with(prefix)) text.remove_prefix(prefix.size());
    return text;
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
    auto value = Fs::from_repr(field::repr_from_bytes_be(bytes.first<32>()));
    if (!value.ok()) return ConversionError::prime_field_decoding_error(value.error().message);
    return value.value();
}

std::string FeConvert::to_hex(const Fs& value) { return bytes_to_hex(field::repr_to_bytes_be(value.into_repr())); }

std::string FeConvert::to_hex(const Fr& value) { return bytes_to_hex(field::repr_to_bytes_be(value.into_repr())); }

U256 fr_to_u256(const Fr& value) { return U256(value.into_repr()); }

U256 le_to_u256(std::span<const std::uint8_t, 32> bytes) { return U256::from_little_endian(bytes); }

std::string_view strip_hex_prefixes(std::string_view text) {
    return strip_repeated(strip_repeated(text, "0x"), "0X");
}

Result<Fs> private_key_from_string(std::string_view text) {
    text = strip_repeated(text, "0x");
    if (text.size() % 2 != 0) return Error{"Odd number of digits", {}};
    // Only a key of exactly 32 bytes is kept; any other length is reported
    // by its byte count once every digit has been checked.
    std::array<std::uint8_t, 32> bytes{};
    const bool keep = text.size() == 2 * bytes.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int v = hex_digit_value(c);
        if (v < 0)
            return Error{"Invalid character '" + integers::quote_char(c) + "' at position " + std::to_string(i), {}};
        if (keep) bytes[i / 2] = static_cast<std::uint8_t>(i % 2 == 0 ? v << 4 : bytes[i / 2] | v);
    }
    if (!keep) return ConversionError::incorrect_input_size(text.size() / 2, bytes.size());
    return FeConvert::from_bytes(bytes);
}

Result<std::string> private_key_from_seed(std::string_view seed) {
    if (seed.size() < 32) return Error{"seed is too short", {}};
    std::array<std::uint8_t, SHA256_DIGEST_LENGTH> h{};
    SHA256(reinterpret_cast<const unsigned char*>(seed.data()), seed.size(), h.data());
    // SHA-256(seed) itself is never a candidate.
    do {
        SHA256(h.data(), h.size(), h.data());
    } while (!Fs::is_below_modulus(field::repr_from_bytes_be(h)));
    return "0x" + bytes_to_hex(h);
}

PackedPublicKey public_key_from_private(const Fs& sk) {
    const auto pk = curve::jubjub_params().mul_signing_generator(sk);
    return le_to_u256(pk.write());
}

std::pair<Fr, Fr> get_xy_from_r(const U256& packed) {
    const auto bytes = packed.to_bytes_le();
    const auto point = curve::edwards::read(bytes, curve::jubjub_params());
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

Result<PublicKeyPair> pub_key_to_xy(std::string_view text) {
    const std::string_view t = strip_hex_prefixes(text);
    auto packed = U256::from_str_radix16(t);
    if (!packed.ok()) return std::move(packed).error();
    const BabyJubjubPoint point = unpack_public_key(packed.value());
    return PublicKeyPair{"0x" + std::string(t), point.x.to_hex()};
}

Result<PublicKeyPair> private_key_to_pubkey_xy(std::string_view text) {
    auto sk = private_key_from_string(text);
    if (!sk.ok()) return std::move(sk).error();
    return pub_key_to_xy(public_key_from_private(sk.value()).to_hex());
}

Result<bool> is_on_curve(std::string_view x, std::string_view y) {
    const std::string_view tx = strip_hex_prefixes(x);
    const std::string_view ty = strip_hex_prefixes(y);
    auto pair = pub_key_to_xy(tx);
    if (!pair.ok()) return std::move(pair).error();
    return strip_hex_prefixes(pair.value().packed) == tx && strip_hex_prefixes(pair.value().x) == ty;
}

}  // namespace lumora::sdk
