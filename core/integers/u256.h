// U256: the plain unsigned 256-bit integer that carries asset identifiers,
// packed keys, addresses, digests and signature values between the SDK
// operations. Four 64-bit limbs, least significant first.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/error.h"

namespace lumora::integers {

using u128 = unsigned __int128;
using i128 = __int128;

// A 256-bit integer as four 64-bit limbs, least significant first: the shape
// of U256 and of the fields' canonical integers.
using Limbs = std::array<std::uint64_t, 4>;

// The byte forms of every 256-bit integer in the system: 32 bytes, least
// (_le) or most (_be) significant first. Shifts and masks at fixed places
// only, so secret integers (private keys) go through them too.
Limbs from_bytes_le(std::span<const std::uint8_t, 32> bytes);
Limbs from_bytes_be(std::span<const std::uint8_t, 32> bytes);
std::array<std::uint8_t, 32> to_bytes_le(const Limbs& value);
std::array<std::uint8_t, 32> to_bytes_be(const Limbs& value);
// The output form: "0x" and exactly 64 lowercase hexadecimal digits.
std::string to_hex(const Limbs& value);
void append_hex(std::string& out, const Limbs& value);

struct U256 {
    Limbs limbs{};  // least significant first

    constexpr U256() = default;
    constexpr explicit U256(Limbs l) : limbs(l) {}
    static constexpr U256 from_u64(std::uint64_t v) { return U256({v, 0, 0, 0}); }
    static constexpr U256 from_u128(u128 v) {
        return U256({static_cast<std::uint64_t>(v), static_cast<std::uint64_t>(v >> 64), 0, 0});
    }
    // Aborts with "Unsigned integer can't be created from negative value" for v < 0.
    static U256 from_i128(i128 v);

    // At most 32 bytes, least significant first; more aborts with
    // "assertion failed: 4 * 8 >= slice.len()" (every caller passes 32).
    static U256 from_bytes_le(std::span<const std::uint8_t> bytes);
    static U256 from_bytes_be(std::span<const std::uint8_t, 32> bytes) { return U256(integers::from_bytes_be(bytes)); }
    std::array<std::uint8_t, 32> to_bytes_le() const { return integers::to_bytes_le(limbs); }
    std::array<std::uint8_t, 32> to_bytes_be() const { return integers::to_bytes_be(limbs); }

    // Plain hexadecimal form: one lowercase "0x" removed, at most 64 digits,
    // odd lengths get a leading "0". A failure has one cause repeating its message.
    static Result<U256> from_str(std::string_view text);
    // Radix-16 form: the plain form with its failure wrapped once more (two causes).
    static Result<U256> from_str_radix16(std::string_view text);

    // The output form ("0x" and 64 lowercase digits), returned or appended.
    std::string to_hex() const { return integers::to_hex(limbs); }
    void append_hex(std::string& out) const { integers::append_hex(out, limbs); }

    std::uint64_t limb(int i) const { return limbs[static_cast<std::size_t>(i)]; }
    bool is_zero() const { return (limbs[0] | limbs[1] | limbs[2] | limbs[3]) == 0; }

    friend bool operator==(const U256&, const U256&) = default;
};

// Bits moved beyond bit 255 are discarded; shifts of 256 or more give zero.
U256 shl(const U256& v, unsigned bits);
// Both abort with "arithmetic operation overflow" when the result needs more than 256 bits.
void add_assign(U256& a, const U256& b);
U256 mul(const U256& a, const U256& b);

}  // namespace lumora::integers
