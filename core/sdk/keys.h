// Keys and their text forms: private-key texts and seeds, packed public keys,
// their coordinates, the small conversions between field elements, bytes
// and U256 that the signing operations share, and the one writer of the
// operations' JSON results.
//
// A private key is an Fs element (an integer below l, never reduced); its
// public key is sk·G with G the signing generator of the shared parameter
// set. A packed public key is the U256 whose 32 little-endian bytes are the
// point's packed encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "common/error.h"
#include "common/kernel_copy.h"
#include "common/secret.h"
#include "curve/edwards.h"
#include "field/fr.h"
#include "field/fs.h"
#include "integers/u256.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

using field::Fr;
using field::Fs;
using integers::U256;

using PackedPublicKey = U256;
using PublicKey = curve::edwards::Point<curve::edwards::Unknown>;

// The failures of the conversions below; each is an error value without
// causes whose message is the case's text followed by what it carries.
struct ConversionError {
    // "Incorrect input size. Actual: <size>, expected: <expected_size>"
    static Error incorrect_input_size(std::size_t size, std::size_t expected_size);
    // "Cannot decode hex: <failure>"
    static Error hex_decoding_error(std::string_view failure);
    // "Cannot parse value <failure>"
    static Error parsing_error(std::string_view failure);
    // "Cannot convert into prime field value: <failure>"
    static Error prime_field_decoding_error(std::string_view failure);
};

struct FeConvert {
    // 32 bytes of a private key, most significant first, as an Fs; another
    // length gives incorrect_input_size(length, 32), a value of l or more
    // prime_field_decoding_error("the private key is not an element of the
    // field"), which withholds the value.
    static Result<Fs> from_bytes(std::span<const std::uint8_t> bytes);
    // The canonical integer as 64 lowercase hexadecimal digits, no prefix.
    static std::string to_hex(const Fs& value);
    static std::string to_hex(const Fr& value);
};

// The canonical integer of an Fr.
U256 fr_to_u256(const Fr& value);
// The U256 whose little-endian bytes these are.
U256 le_to_u256(std::span<const std::uint8_t, 32> bytes);

// `text` without its leading "0x" prefixes, then without its leading "0X"
// prefixes (each removed repeatedly, in that order).
std::string_view strip_hex_prefixes(std::string_view text);

// Parses a private-key text: leading "0x" prefixes removed (only lowercase),
// then exactly 64 hexadecimal digits of either case, most significant byte
// first. Failures, in order of detection: "Odd number of digits";
// "Invalid character '<c>' at position <i>" (i counted after the prefixes);
// FeConvert::from_bytes's failures. None carries causes. A valid key is read
// in constant time (only the text's length shapes the work) and every copy
// made on the way is wiped.
Result<Secret<Fs>> private_key_from_string(std::string_view text);

// Derives a private-key text from a seed of at least 32 UTF-8 bytes ("seed is
// too short" otherwise): h = SHA-256(seed), then h = SHA-256(h) until h read
// big-endian is below l. The result is "0x" and the 64 lowercase digits of h,
// printed in constant time; the hashes are wiped.
Result<std::string> private_key_from_seed(std::string_view seed);

// The packed public key of sk (sk·G5 written and read little-endian). The
// multiplication runs in constant time.
PackedPublicKey public_key_from_private(const Fs& sk);

// Coordinates of a public key as canonical integers.
struct BabyJubjubPoint {
    U256 x;
    U256 y;
};

// Affine (x, y) of a packed point (its 32 little-endian bytes decoded). A
// value that does not decode aborts with
// "called `Result::unwrap()` on an `Err` value: RestoreRPoint(<read failure, debug form>)".
std::pair<Fr, Fr> get_xy_from_r(const U256& packed);

// The coordinates behind a packed public key. A nonzero value below 2^160
// (bytes 20..31 of its little-endian form zero) is taken as (0, value)
// without decoding; anything else is decoded with get_xy_from_r, whose
// abort applies.
BabyJubjubPoint unpack_public_key(const PackedPublicKey& packed);

// The public key with these coordinates. Failures: x, then y, not below p
// (the field's "… is not an element of the field"); a pair off the curve
// ("could not decode public key by x and y").
Result<PublicKey> convert_to_pubkey(const U256& x, const U256& y);

// A member of a JSON result: its key, written as it is (every key is a
// literal of the code, which needs no escaping), and its value, a U256
// written as "0x" and 64 lowercase digits, or a text written as a JSON
// string.
struct JsonMember {
    std::string_view key;
    std::variant<U256, std::string_view> value;
};

// The compact JSON object of the members, in their order: {"k":"v",...}.
// Every JSON result of the operations is written here, in one allocation.
std::string json_object(std::initializer_list<JsonMember> members);

// The public-key pair texts: the packed key, then the key's affine x.
struct PublicKeyPair {
    std::string packed;
    std::string x;
};

// For a packed-key text t (after strip_hex_prefixes): packed = "0x" ‖ t with
// the caller's digits unchanged; x = "0x" and the 64 lowercase digits of the
// unpacked x. A text that does not parse fails with the radix-16 U256
// failure (two causes); a value that does not decode aborts.
Result<PublicKeyPair> public_key_pair(std::string_view text);

// The pair of public_key_pair as the module returns it: {"x":packed,"y":x}.
Result<std::string> public_key_to_xy(std::string_view public_key);

// public_key_to_xy of the private key's packed public key printed as "0x"
// and 64 lowercase digits; private_key_from_string's failures pass through.
Result<std::string> private_key_to_public_key_xy(std::string_view private_key);

// Whether y is the x-coordinate text that public_key_pair gives for the
// packed key x: both texts and both results compared byte for byte after
// strip_hex_prefixes (so the digits' case and leading zeros matter).
// public_key_pair's failures and aborts pass through.
Result<bool> is_on_curve(std::string_view x, std::string_view y);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
