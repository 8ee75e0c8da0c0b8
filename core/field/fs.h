// Fs: the scalar field of Baby Jubjub's prime-order subgroup, modulus
//   l = 2736030358979909402780800718157159386076813972158567259200215660948447373041.
// Private keys, nonces, signature scalars and challenges live here.
#pragma once

#include <span>

#include "field/montgomery.h"

namespace lumora::field::inline LUMORA_KERNEL_NS {

struct FsParams {
    static constexpr Limbs MODULUS = {0x677297dc392126f1, 0xab3eedb83920ee0a, 0x370a08b6d0302b0b,
                                      0x060c89ce5c263405};
    static constexpr Limbs R = {0x073315dea08f9c76, 0xe7acffc6a098f24b, 0xf85a9201d818f015,
                                0x01f16424e1bb7724};  // 2^256 mod l
    static constexpr Limbs R2 = {0x35e44abee7ecb21e, 0x74646cacf5f84ec4, 0xe472df203faa158f,
                                 0x0445b524f1ba50a8};  // 2^512 mod l
    static constexpr Limbs R3 = {0x30886e7b42917c21, 0x98dae87b55d7cd2a, 0xeefe3d08cc608b7b,
                                 0x02b4dbffb2bc97aa};  // 2^768 mod l
    static constexpr u64 INV = 0x532ce5aebc48f5ef;     // −l⁻¹ mod 2^64
    static constexpr Limbs MODULUS_MINUS_2 = {0x677297dc392126ef, 0xab3eedb83920ee0a, 0x370a08b6d0302b0b,
                                              0x060c89ce5c263405};
};

using Fs = Element<FsParams>;

// The subgroup order l, the scalar of the order checks.
constexpr Repr fs_char() { return FsParams::MODULUS; }

// The little-endian integer of exactly 32 bytes, reduced mod l.
Fs fs_to_uniform_32(std::span<const std::uint8_t, 32> bytes);

}  // namespace lumora::field
