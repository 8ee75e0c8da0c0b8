// Fs: the scalar field of Baby Jubjub's prime-order subgroup, modulus
//   l = 2736030358979909402780800718157159386076813972158567259200215660948447373041.
// Private keys, nonces, signature scalars and challenges live here.
#pragma once

#include "common/kernel_copy.h"
#include "field/montgomery.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {

// l, the order of the curve's prime-order subgroup.
inline constexpr Limbs FS_MODULUS = {0x677297dc392126f1, 0xab3eedb83920ee0a, 0x370a08b6d0302b0b,
                                     0x060c89ce5c263405};

struct FsParams : MontgomeryParams<FS_MODULUS> {};

using Fs = Element<FsParams>;

// The subgroup order l, the scalar of the order checks.
constexpr Repr fs_char() { return FsParams::MODULUS; }

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
