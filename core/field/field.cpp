#include "field/fr.h"
#include "field/fs.h"

namespace lumora::field {

std::string not_in_field_message(const Repr& r) { return integers::to_hex(r) + " is not an element of the field"; }

std::string not_in_field_debug(const Repr& r) { return "NotInField(\"" + integers::to_hex(r) + "\")"; }

namespace {

constexpr Limbs MODULUS = FrParams::MODULUS;
// r − 1 = 2^S·t with t odd; the Legendre exponent (r − 1)/2 and (t − 1)/2.
constexpr unsigned S = derive::two_adicity(MODULUS);
constexpr Repr LEGENDRE_EXPONENT = derive::legendre_exponent(MODULUS);
constexpr Repr T_MINUS_1_OVER_2 = derive::odd_part_minus_1_over_2(MODULUS);

// 7, the field's conventional multiplicative generator. Tonelli–Shanks needs
// only a non-residue g: then g^t has order exactly 2^S. The choice fixes the
// root of unity, and with it which of the two square roots sqrt returns.
constexpr u64 GENERATOR = 7;
static_assert(derive::is_non_residue(GENERATOR, MODULUS));
// g^t, a primitive 2^S-th root of unity, in Montgomery form.
constexpr Limbs ROOT_OF_UNITY = derive::root_of_unity(GENERATOR, MODULUS);

constexpr Limbs pow2_exponent(unsigned k) {
    Limbs e{};
    e[k / 64] = u64{1} << (k % 64);
    return e;
}
// Its 2^(S−1)-th power is −1 (order exactly 2^S).
static_assert(derive::mont_pow(ROOT_OF_UNITY, pow2_exponent(S - 1), MODULUS) == derive::sub(MODULUS, FrParams::R));

}  // namespace

Legendre legendre(const Fr& a) {
    const Fr s = a.pow_var(LEGENDRE_EXPONENT);
    if (s.is_zero()) return Legendre::Zero;
    return s == Fr::one() ? Legendre::QuadraticResidue : Legendre::QuadraticNonResidue;
}

// One exponentiation instead of three: w = a^((t−1)/2) gives x = a^((t+1)/2)
// = a·w and b = a^t = x·w, and a non-residue shows itself in the loop (b then
// has order exactly 2^28, so no i below m finds b^(2^i) = 1). For residues
// x, b and the loop are those of the textbook form, so the same root comes out.
std::optional<Fr> sqrt(const Fr& a) {
    if (a.is_zero()) return a;
    const Fr w = a.pow_var(T_MINUS_1_OVER_2);
    Fr x = a * w;
    Fr b = x * w;
    Fr c = Fr::from_mont(ROOT_OF_UNITY);
    unsigned m = S;
    while (b != Fr::one()) {
        unsigned i = 1;
        Fr b2 = b.square();
        while (b2 != Fr::one()) {
            if (++i == m) return std::nullopt;
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

std::optional<Fr> fr_from_str(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text == "0") return Fr::zero();
    const Fr ten = Fr::from_u64(10);
    Fr value = Fr::zero();
    bool first = true;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        if (first && ch == '0') return std::nullopt;
        first = false;
        value = value * ten + Fr::from_u64(static_cast<u64>(ch - '0'));
    }
    return value;
}

}  // namespace lumora::field
