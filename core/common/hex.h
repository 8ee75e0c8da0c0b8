// The hexadecimal codec of every text form in the system: private keys, keys
// derived from seeds, U256 texts, field elements, signed asset identifiers
// and the four digits of a JSON \u escape.
//
// Digits are decoded and encoded with arithmetic and masks, never a table or
// a branch on the character, so the same code serves secret texts (private
// keys) and public ones; on public texts it costs no more than a table. What a
// caller does with a digit's validity is its own affair: the decoder below
// stops at the first character that is not a digit, so it treats that
// position as public (every caller reports it).
//
// Prefixes: counting a repeated two-character prefix has a constant-time form
// that reads the whole text (for private keys) and a variable-time one that
// stops at the first mismatch (for everything public).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/ct.h"
#include "common/text.h"

namespace lumora::hex {

// The lowercase digit of a nibble (only the low four bits count): '0' + n,
// plus the gap to 'a' when n is 10 or more.
inline char digit_lower(unsigned nibble) noexcept {
    const unsigned n = nibble & 0xf;
    const unsigned letter = 0 - ((9 - n) >> 31);  // all ones for 10..15
    return static_cast<char>('0' + n + (letter & ('a' - '0' - 10)));
}

// The value of a digit of either case, and whether the character is one:
// 0-9, a-f and A-F are digits, nothing else.
struct Digit {
    unsigned value;  // 0..15; 0 when not a digit
    unsigned valid;  // 1 or 0
};
inline Digit digit_value(unsigned char ch) noexcept {
    const unsigned c = ch;
    // Each mask has its low bits set exactly when its range matched.
    const unsigned num = c ^ 0x30u;  // '0'..'9' → 0..9
    const unsigned num_mask = (num - 10u) >> 8;
    const unsigned alpha = (c & ~0x20u) - 0x37u;  // 'A'..'F', 'a'..'f' → 10..15
    const unsigned alpha_mask = ((alpha - 10u) ^ (alpha - 16u)) >> 8;
    return {((num_mask & num) | (alpha_mask & alpha)) & 0xf, (num_mask | alpha_mask) & 1};
}

// Two lowercase digits per byte, most significant nibble first, into
// out[0 .. 2·bytes.size()).
inline void encode_lower(std::span<const std::uint8_t> bytes, char* out) noexcept {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[2 * i] = digit_lower(bytes[i] >> 4);
        out[2 * i + 1] = digit_lower(bytes[i] & 0xf);
    }
}

inline void append_lower(std::string& out, std::span<const std::uint8_t> bytes) {
    const std::size_t at = out.size();
    out.resize(at + 2 * bytes.size());
    encode_lower(bytes, out.data() + at);
}

// Reads `digits` two per byte, most significant first. An odd count reads as
// if one '0' stood in front; positions then count it. `out` holds
// (digits.size() + 1) / 2 bytes, or is empty to check the digits only.
// Returns the position of the first character that is not a digit, or
// `NO_FAULT`; the bytes before it are written, those after it are not.
inline constexpr std::size_t NO_FAULT = static_cast<std::size_t>(-1);
inline std::size_t decode(std::string_view digits, std::span<std::uint8_t> out) noexcept {
    const std::size_t pad = digits.size() % 2;
    const std::size_t count = digits.size() + pad;
    const bool keep = !out.empty();
    for (std::size_t pos = 0; pos < count; ++pos) {
        const Digit d = digit_value(static_cast<unsigned char>(pos < pad ? '0' : digits[pos - pad]));
        unsigned valid = d.valid;
        // Public: the first character that is not a digit is reported.
        LUMORA_DECLASSIFY(&valid, sizeof valid);
        if (!valid) return pos;
        if (keep) {
            std::uint8_t& byte = out[pos / 2];
            byte = static_cast<std::uint8_t>(pos % 2 == 0 ? d.value << 4 : byte | d.value);
        }
    }
    return NO_FAULT;
}

// The failure of a text that has a character other than a digit:
// "Invalid character '<c>' at position <pos>".
inline std::string invalid_character_message(unsigned char c, std::size_t pos) {
    return "Invalid character '" + text::quote_char(c) + "' at position " + std::to_string(pos);
}

// How many times the two characters of `prefix` repeat at the start of
// `text`. The _ct form reads every pair of the text and branches on none of
// its bytes (only the text's length shapes the loop); the _var form stops at
// the first pair that differs.
inline std::size_t count_prefixes(std::string_view text, std::string_view prefix) noexcept {
    const auto first = static_cast<unsigned char>(prefix[0]);
    const auto second = static_cast<unsigned char>(prefix[1]);
    std::uint64_t still = 1;  // 1 while every pair so far matched
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const std::uint64_t diff = static_cast<std::uint64_t>(static_cast<unsigned char>(text[i]) ^ first) |
                                   static_cast<std::uint64_t>(static_cast<unsigned char>(text[i + 1]) ^ second);
        still &= ct::mask_if_zero(diff) & 1;
        count += still;
    }
    return count;
}

inline std::size_t count_prefixes_var(std::string_view text, std::string_view prefix) noexcept {
    std::size_t count = 0;
    while (text.substr(2 * count).starts_with(prefix)) ++count;
    return count;
}

// `text` without every leading copy of `prefix` (variable time).
inline std::string_view strip_prefixes_var(std::string_view text, std::string_view prefix) noexcept {
    return text.substr(2 * count_prefixes_var(text, prefix));
}

}  // namespace lumora::hex
