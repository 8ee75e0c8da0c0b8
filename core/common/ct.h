// Constant-time helpers for text and the marks of the constant-time check.
//
// The check (core/tests/ctime, run by scripts/ctime.sh) builds the core with
// LUMORA_CTIME and runs the secret paths under valgrind's memcheck with the
// private key, seed and nonce marked undefined: every branch or memory index
// that depends on them is then reported. A value that is public by design
// once computed (a signature, a public key, the accept bit of a rejection
// loop, the failure bit of a key that the API reports anyway) is declared so
// with LUMORA_DECLASSIFY at the exact point where it becomes public, with a
// comment saying why. In every other build the marks compile to nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#ifdef LUMORA_CTIME
#include <valgrind/memcheck.h>
#define LUMORA_CLASSIFY(ptr, len) ((void)VALGRIND_MAKE_MEM_UNDEFINED((ptr), (len)))
#define LUMORA_DECLASSIFY(ptr, len) ((void)VALGRIND_MAKE_MEM_DEFINED((ptr), (len)))
#else
#define LUMORA_CLASSIFY(ptr, len) ((void)(ptr), (void)(len))
#define LUMORA_DECLASSIFY(ptr, len) ((void)(ptr), (void)(len))
#endif

namespace lumora::ct {

// All ones when x is zero, else zero.
inline std::uint64_t mask_if_zero(std::uint64_t x) noexcept { return ((x | (0 - x)) >> 63) - 1; }

// The lowercase hexadecimal digit of a nibble (0..15), computed without a
// table: '0' + n, plus the gap to 'a' when n is 10 or more.
inline char hex_digit_lower(unsigned nibble) noexcept {
    const unsigned n = nibble & 0xf;
    const unsigned letter = 0 - ((9 - n) >> 31);  // all ones for 10..15
    return static_cast<char>('0' + n + (letter & ('a' - '0' - 10)));
}

// The value of a hexadecimal digit of either case, and whether the
// character is one, computed with masks: digits and letters take one path.
struct HexDigit {
    unsigned value;  // 0..15; 0 when not a digit
    unsigned valid;  // 1 or 0
};
inline HexDigit hex_digit_value(unsigned char ch) noexcept {
    const unsigned c = ch;
    // Each mask has its low bits set exactly when its range matched.
    const unsigned num = c ^ 0x30u;  // '0'..'9' → 0..9
    const unsigned num_mask = (num - 10u) >> 8;
    const unsigned alpha = (c & ~0x20u) - 0x37u;  // 'A'..'F', 'a'..'f' → 10..15
    const unsigned alpha_mask = ((alpha - 10u) ^ (alpha - 16u)) >> 8;
    return {((num_mask & num) | (alpha_mask & alpha)) & 0xf, (num_mask | alpha_mask) & 1};
}

// How many times `prefix` (two characters) repeats at the start of `text`.
// Every pair of the text is read and no branch depends on the bytes; only
// the text's length shapes the loop.
inline std::size_t count_leading_pairs(std::string_view text, char first, char second) noexcept {
    std::uint64_t still = 1;  // 1 while every pair so far matched
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const std::uint64_t diff = static_cast<std::uint64_t>(static_cast<unsigned char>(text[i]) ^
                                                              static_cast<unsigned char>(first)) |
                                   static_cast<std::uint64_t>(static_cast<unsigned char>(text[i + 1]) ^
                                                              static_cast<unsigned char>(second));
        still &= mask_if_zero(diff) & 1;
        count += still;
    }
    return count;
}

}  // namespace lumora::ct
