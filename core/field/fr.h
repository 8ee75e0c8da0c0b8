// Fr: the BN254 scalar field, modulus
//   r = 21888242871839275222246405745257275088548364400416034343698204186575808495617.
// The coordinate field of Baby Jubjub and the field of the Poseidon hash.
#pragma once

#include <optional>
#include <string_view>

#include "common/kernel_copy.h"
#include "field/montgomery.h"
#include "field/sqrt.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {

// r, the BN254 scalar field's order.
inline constexpr Limbs FR_MODULUS = {0x43e1f593f0000001, 0x2833e84879b97091, 0xb85045b68181585d,
                                     0x30644e72e131a029};

struct FrParams : MontgomeryParams<FR_MODULUS> {
    // 7, the field's conventional multiplicative generator, as the
    // non-residue of sqrt_var (r − 1 = 2^28·t).
    static constexpr u64 NON_RESIDUE = 7;
};

using Fr = Element<FrParams>;

// Compiled once, in field.cpp.
extern template Legendre legendre_var<FrParams>(const Fr& a);
// Fr's roots take the 2^28 part (r − 1 = 2^28·t) from window tables built at
// compile time, not bit by bit: sqrt_var gives the same root as the generic
// loop; sqrt_ratio_var(u, v) a root of u/v without an inversion.
template <>
std::optional<Fr> sqrt_var<FrParams>(const Fr& a);
template <>
std::optional<Fr> sqrt_ratio_var<FrParams>(const Fr& u, const Fr& v);

// Decimal digits only, no sign, no leading zero (except "0" itself); any
// length, reduced mod r. None for anything else.
std::optional<Fr> fr_from_str(std::string_view text);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
