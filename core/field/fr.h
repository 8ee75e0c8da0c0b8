// Fr: the BN254 scalar field, modulus
//   r = 21888242871839275222246405745257275088548364400416034343698204186575808495617.
// The coordinate field of Baby Jubjub and the field of the Poseidon hash.
#pragma once

#include <optional>
#include <string_view>

#include "field/montgomery.h"

namespace lumora::field {

struct FrParams {
    static constexpr Limbs MODULUS = {0x43e1f593f0000001, 0x2833e84879b97091, 0xb85045b68181585d,
                                      0x30644e72e131a029};
    static constexpr Limbs R = derive::r_mod(MODULUS);    // 2^256 mod r, the Montgomery form of one
    static constexpr Limbs R2 = derive::r2_mod(MODULUS);  // 2^512 mod r
    static constexpr Limbs R3 = derive::r3_mod(MODULUS);  // 2^768 mod r
    static constexpr u64 INV = derive::neg_inv64(MODULUS[0]);  // −r⁻¹ mod 2^64
    static constexpr Limbs MODULUS_MINUS_2 = derive::minus(MODULUS, 2);  // the inversion exponent
};

using Fr = Element<FrParams>;

enum class Legendre { Zero, QuadraticResidue, QuadraticNonResidue };

Legendre legendre(const Fr& a);
// A square root (r − 1 = 2^28·t), in variable time: for public values only.
// The root is that of Tonelli–Shanks with the root of unity 7^t; none for a
// non-residue, zero for zero.
std::optional<Fr> sqrt_var(const Fr& a);
// A root of u/v, without an inversion (one of the two: not necessarily the
// one sqrt_var(u/v) returns), in variable time; none when v is zero or u/v
// is a non-residue, zero when u is zero.
std::optional<Fr> sqrt_ratio_var(const Fr& u, const Fr& v);
// Decimal digits only, no sign, no leading zero (except "0" itself); any
// length, reduced mod r. None for anything else.
std::optional<Fr> fr_from_str(std::string_view text);

}  // namespace lumora::field
