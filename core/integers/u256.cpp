#include "integers/u256.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/hex.h"

namespace lumora::integers {

namespace {

// One limb from eight bytes in either order: a word load, swapped when the
// order is not the machine's.
std::uint64_t load_limb(const std::uint8_t* p, std::endian order) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return order == std::endian::native ? w : __builtin_bswap64(w);
}

void store_limb(std::uint8_t* p, std::uint64_t w, std::endian order) {
    if (order != std::endian::native) w = __builtin_bswap64(w);
    std::memcpy(p, &w, sizeof w);
}

}  // namespace

Limbs from_bytes_le(std::span<const std::uint8_t, 32> bytes) {
    Limbs r;
    for (std::size_t i = 0; i < 4; ++i) r[i] = load_limb(bytes.data() + 8 * i, std::endian::little);
    return r;
}

Limbs from_bytes_be(std::span<const std::uint8_t, 32> bytes) {
    Limbs r;
    for (std::size_t i = 0; i < 4; ++i) r[i] = load_limb(bytes.data() + 8 * (3 - i), std::endian::big);
    return r;
}

std::array<std::uint8_t, 32> to_bytes_le(const Limbs& value) {
    std::array<std::uint8_t, 32> out;
    for (std::size_t i = 0; i < 4; ++i) store_limb(out.data() + 8 * i, value[i], std::endian::little);
    return out;
}

std::array<std::uint8_t, 32> to_bytes_be(const Limbs& value) {
    std::array<std::uint8_t, 32> out;
    for (std::size_t i = 0; i < 4; ++i) store_limb(out.data() + 8 * (3 - i), value[i], std::endian::big);
    return out;
}

void append_hex(std::string& out, const Limbs& value) {
    out += "0x";
    hex::append_lower(out, to_bytes_be(value));
}

std::string to_hex(const Limbs& value) {
    std::string out;
    out.reserve(66);
    append_hex(out, value);
    return out;
}

namespace {

Error plain_failure(std::string message, std::size_t wraps) {
    Error e{message, {}};
    e.causes.assign(wraps, message);
    return e;
}

Result<U256> parse_plain(std::string_view text, std::size_t wraps) {
    if (text.starts_with("0x")) text.remove_prefix(2);
    if (text.size() > 64) return plain_failure("Invalid string length", wraps);
    std::array<std::uint8_t, 32> be{};
    const std::size_t fault = hex::decode(text, std::span(be).last((text.size() + 1) / 2));
    if (fault != hex::NO_FAULT) {
        // The leading '0' of an odd count is never the fault.
        const std::size_t pad = text.size() % 2;
        return plain_failure(hex::invalid_character_message(static_cast<unsigned char>(text[fault - pad]), fault),
                             wraps);
    }
    return U256::from_bytes_be(be);
}

}  // namespace

U256 U256::from_i128(i128 v) {
    if (v < 0) abort_with("Unsigned integer can't be created from negative value");
    return from_u128(static_cast<u128>(v));
}

U256 U256::from_bytes_le(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > 32) abort_with("assertion failed: 4 * 8 >= slice.len()");
    std::array<std::uint8_t, 32> padded{};
    std::copy(bytes.begin(), bytes.end(), padded.begin());
    return U256(integers::from_bytes_le(padded));
}

Result<U256> U256::from_str(std::string_view text) { return parse_plain(text, 1); }

Result<U256> U256::from_str_radix16(std::string_view text) { return parse_plain(text, 2); }

U256 shl(const U256& v, unsigned bits) {
    U256 r;
    if (bits >= 256) return r;
    const unsigned word = bits / 64, bit = bits % 64;
    for (unsigned i = 3 + 1; i-- > word;) {
        std::uint64_t x = v.limbs[i - word] << bit;
        if (bit != 0 && i - word >= 1) x |= v.limbs[i - word - 1] >> (64 - bit);
        r.limbs[i] = x;
    }
    return r;
}

void add_assign(U256& a, const U256& b) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const u128 s = static_cast<u128>(a.limbs[i]) + b.limbs[i] + carry;
        a.limbs[i] = static_cast<std::uint64_t>(s);
        carry = static_cast<std::uint64_t>(s >> 64);
    }
    if (carry != 0) abort_with("arithmetic operation overflow");
}

U256 mul(const U256& a, const U256& b) {
    std::array<std::uint64_t, 8> wide{};
    for (std::size_t i = 0; i < 4; ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const u128 t = static_cast<u128>(a.limbs[i]) * b.limbs[j] + wide[i + j] + carry;
            wide[i + j] = static_cast<std::uint64_t>(t);
            carry = static_cast<std::uint64_t>(t >> 64);
        }
        wide[i + 4] = carry;
    }
    if ((wide[4] | wide[5] | wide[6] | wide[7]) != 0) abort_with("arithmetic operation overflow");
    return U256({wide[0], wide[1], wide[2], wide[3]});
}

}  // namespace lumora::integers
