// Quadratic character and square roots in any field of the Montgomery engine,
// by exponentiation and Tonelli–Shanks. Both run in variable time: for public
// values (point decoding, constants) only.
//
// The parameter set P supplies, besides the engine's constants, NON_RESIDUE:
// a small quadratic non-residue g. It fixes the root of unity g^t and with it
// which of the two square roots sqrt_var returns.
#pragma once

#include <optional>

#include "common/kernel_copy.h"
#include "field/montgomery.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {

enum class Legendre { Zero, QuadraticResidue, QuadraticNonResidue };

namespace detail {

// p − 1 = 2^S·t with t odd; the exponents (p − 1)/2 and (t − 1)/2 and the
// primitive 2^S-th root of unity g^t (Montgomery form).
template <class P>
struct SqrtConstants {
    static constexpr unsigned S = derive::two_adicity(P::MODULUS);
    static constexpr Repr LEGENDRE_EXPONENT = derive::legendre_exponent(P::MODULUS);
    static constexpr Repr T_MINUS_1_OVER_2 = derive::odd_part_minus_1_over_2(P::MODULUS);
    static_assert(derive::is_non_residue(P::NON_RESIDUE, P::MODULUS));
    static constexpr Limbs ROOT_OF_UNITY = derive::root_of_unity(P::NON_RESIDUE, P::MODULUS);

    static constexpr Limbs pow2(unsigned k) {
        Limbs e{};
        e[k / 64] = u64{1} << (k % 64);
        return e;
    }
    // Its 2^(S−1)-th power is −1 (order exactly 2^S).
    static_assert(derive::mont_pow(ROOT_OF_UNITY, pow2(S - 1), P::MODULUS) == derive::sub(P::MODULUS, P::R));
};

}  // namespace detail

template <class P>
Legendre legendre_var(const Element<P>& a) {
    const Element<P> s = a.pow_var(detail::SqrtConstants<P>::LEGENDRE_EXPONENT);
    if (s.is_zero()) return Legendre::Zero;
    return s == Element<P>::one() ? Legendre::QuadraticResidue : Legendre::QuadraticNonResidue;
}

// A square root of a; none for a non-residue, zero for zero.
//
// One exponentiation instead of three: w = a^((t−1)/2) gives x = a^((t+1)/2)
// = a·w and b = a^t = x·w, and a non-residue shows itself in the loop (b then
// has order exactly 2^S, so no i below m finds b^(2^i) = 1). For residues
// x, b and the loop are those of the textbook form, so the same root comes out.
template <class P>
std::optional<Element<P>> sqrt_var(const Element<P>& a) {
    using F = Element<P>;
    using C = detail::SqrtConstants<P>;
    if (a.is_zero()) return a;
    const F w = a.pow_var(C::T_MINUS_1_OVER_2);
    F x = a * w;
    F b = x * w;
    F c = F::from_mont(C::ROOT_OF_UNITY);
    unsigned m = C::S;
    while (b != F::one()) {
        unsigned i = 1;
        F b2 = b.square();
        while (b2 != F::one()) {
            if (++i >= m) return std::nullopt;
            b2 = b2.square();
        }
        for (unsigned j = 0; j + i + 1 < m; ++j) c = c.square();
        x *= c;
        c = c.square();
        b *= c;
        m = i;
    }
    return x;
}

// A root of u/v: one of the two, not necessarily the one sqrt_var(u/v)
// returns. None when v is zero or u/v is a non-residue; zero when u is zero.
template <class P>
std::optional<Element<P>> sqrt_ratio_var(const Element<P>& u, const Element<P>& v) {
    const auto v_inv = v.inverse_var();
    if (!v_inv) return std::nullopt;
    return sqrt_var(u * *v_inv);
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
