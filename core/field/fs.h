// Fs: the scalar field of Baby Jubjub's prime-order subgroup, modulus
//   l = 2736030358979909402780800718157159386076813972158567259200215660948447373041.
// Private keys, nonces, signature scalars and challenges live here.
#pragma once

#include "common/kernel_copy.h"
#include "field/montgomery.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {

struct FsParams {
    static constexpr Limbs MODULUS = {0x677297dc392126f1, 0xab3eedb83920ee0a, 0x370a08b6d0302b0b,
                                      0x060c89ce5c263405};
    static constexpr Limbs R = derive::r_mod(MODULUS);    // 2^256 mod l, the Montgomery form of one
    static constexpr Limbs R2 = derive::r2_mod(MODULUS);  // 2^512 mod l
    static constexpr Limbs R3 = derive::r3_mod(MODULUS);  // 2^768 mod l
    static constexpr u64 INV = derive::neg_inv64(MODULUS[0]);  // −l⁻¹ mod 2^64
    static constexpr Limbs MODULUS_MINUS_2 = derive::minus(MODULUS, 2);  // the inversion exponent
};

using Fs = Element<FsParams>;

// The subgroup order l, the scalar of the order checks.
constexpr Repr fs_char() { return FsParams::MODULUS; }

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
