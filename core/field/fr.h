// Fr: the BN254 scalar field, modulus
//   r = 21888242871839275222246405745257275088548364400416034343698204186575808495617.
// The coordinate field of Baby Jubjub and the field of the Poseidon hash.
#pragma once

#include <optional>
#include <string_view>

#include "field/montgomery.h"

namespace lumora::field::inline LUMORA_KERNEL_NS {

struct FrParams {
    static constexpr Limbs MODULUS = {0x43e1f593f0000001, 0x2833e84879b97091, 0xb85045b68181585d,
                                      0x30644e72e131a029};
    static constexpr Limbs R = {0xac96341c4ffffffb, 0x36fc76959f60cd29, 0x666ea36f7879462e,
                                0x0e0a77c19a07df2f};  // 2^256 mod r
    static constexpr Limbs R2 = {0x1bb8e645ae216da7, 0x53fe3ab1e35c59e3, 0x8c49833d53bb8085,
                                 0x0216d0b17f4e44a5};  // 2^512 mod r
    static constexpr Limbs R3 = {0x5e94d8e1b4bf0040, 0x2a489cbe1cfbb6b8, 0x893cc664a19fcfed,
                                 0x0cf8594b7fcc657c};  // 2^768 mod r
    static constexpr u64 INV = 0xc2e1f593efffffff;     // −r⁻¹ mod 2^64
    static constexpr Limbs MODULUS_MINUS_2 = {0x43e1f593efffffff, 0x2833e84879b97091, 0xb85045b68181585d,
                                              0x30644e72e131a029};
};

using Fr = Element<FrParams>;

enum class Legendre { Zero, QuadraticResidue, QuadraticNonResidue };

Legendre legendre(const Fr& a);
// Tonelli–Shanks with r − 1 = 2^28·t; none for a non-residue, zero for zero.
std::optional<Fr> sqrt(const Fr& a);
// Decimal digits only, no sign, no leading zero (except "0" itself); any
// length, reduced mod r. None for anything else.
std::optional<Fr> fr_from_str(std::string_view text);

}  // namespace lumora::field
