// The group hash: fixed byte strings hashed with BLAKE2s into points of the
// prime-order subgroup. It derives the generators of the parameter set.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "common/kernel_copy.h"
#include "curve/edwards.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

// Hashed in front of every tag: the 64 ASCII characters themselves (not the
// bytes they spell in hexadecimal), exactly one BLAKE2s block.
inline constexpr std::string_view GROUP_HASH_FIRST_BLOCK =
    "096b36a5804bfacef1691e173c366a47ff5ba84a44f26ddd7e8d9f79d5b42df0";

// One attempt: h = BLAKE2s-256 (personalisation of exactly 8 bytes, no key,
// zero salt) of GROUP_HASH_FIRST_BLOCK ‖ tag, read as a packed point and
// multiplied by the cofactor. None when h does not decode or the multiple is
// the neutral point. A personalisation of another length aborts.
std::optional<edwards::Point<edwards::PrimeOrder>> baby_group_hash(std::span<const std::uint8_t> tag,
                                                                    std::string_view personalisation,
                                                                    const JubjubParams& params);

// The first successful baby_group_hash of message ‖ counter byte, the counter
// running from 0; reaching 255 aborts with
// "assertion failed: tag[i] != u8::max_value()" (never, for the system's
// messages).
edwards::Point<edwards::PrimeOrder> find_group_hash(std::span<const std::uint8_t> message,
                                                    std::string_view personalisation, const JubjubParams& params);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
