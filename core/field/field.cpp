#include <array>

#include "common/error.h"
#include "field/fr.h"
#include "field/fs.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {

std::string not_in_field_message(const Repr& r) { return integers::to_hex(r) + " is not an element of the field"; }

std::string not_in_field_debug(const Repr& r) { return "NotInField(\"" + integers::to_hex(r) + "\")"; }

template Legendre legendre_var<FrParams>(const Fr& a);

namespace {

constexpr Limbs MODULUS = FrParams::MODULUS;
// r − 1 = 2^S·t with t odd, (t − 1)/2 and the root of unity z = g^t with
// g = FrParams::NON_RESIDUE: sqrt_var's constants (field/sqrt.h), so that
// both square roots pick the same one of each pair.
using Constants = detail::SqrtConstants<FrParams>;
constexpr unsigned S = Constants::S;
constexpr Repr T_MINUS_1_OVER_2 = Constants::T_MINUS_1_OVER_2;
constexpr Limbs ROOT_OF_UNITY = Constants::ROOT_OF_UNITY;
constexpr Limbs pow2_exponent(unsigned k) { return Constants::pow2(k); }

// The discrete logarithm of a^t to the base z = ROOT_OF_UNITY is found in
// windows of W bits, low window first (Pohlig–Hellman in the group of order
// 2^S). NEG_POWERS[k][j] = z^(−j·2^(W·k)), in Montgomery form; the last row
// holds the powers of γ = z^(2^(S−W)), of order 2^W, and also serves to look
// up the logarithm of an element of that order.
constexpr unsigned W = 7;
constexpr unsigned WINDOWS = S / W;
static_assert(WINDOWS * W == S);
constexpr unsigned ROW = 1u << W;

using PowerTable = std::array<std::array<Limbs, ROW>, WINDOWS>;

constexpr PowerTable negative_powers() {
    PowerTable table{};
    // z^(−1) = z^(2^S − 1).
    Limbs step = derive::mont_pow(ROOT_OF_UNITY, derive::minus(pow2_exponent(S), 1), MODULUS);
    for (unsigned k = 0; k < WINDOWS; ++k) {
        table[k][0] = FrParams::R;
        for (unsigned j = 1; j < ROW; ++j) table[k][j] = derive::mont_mul(table[k][j - 1], step, MODULUS);
        for (unsigned i = 0; i < W; ++i) step = derive::mont_mul(step, step, MODULUS);
    }
    return table;
}
constexpr PowerTable NEG_POWERS = negative_powers();
static_assert(derive::mont_mul(NEG_POWERS[0][1], ROOT_OF_UNITY, MODULUS) == FrParams::R);

// The low limbs of the last row tell its entries apart, so a lookup compares
// one word per entry.
constexpr bool low_limbs_distinct(const std::array<Limbs, ROW>& row) {
    for (unsigned i = 0; i < ROW; ++i)
        for (unsigned j = i + 1; j < ROW; ++j)
            if (row[i][0] == row[j][0]) return false;
    return true;
}
static_assert(low_limbs_distinct(NEG_POWERS[WINDOWS - 1]));

// j in [0, 2^W) with γ^j = y, for y of order dividing 2^W.
unsigned log_of_small_order_var(const Fr& y) {
    const auto& row = NEG_POWERS[WINDOWS - 1];
    for (unsigned j = 0; j < ROW; ++j) {
        if (row[j][0] == y.mont()[0]) {
            if (row[j] != y.mont()) break;
            return (ROW - j) % ROW;  // row[j] = γ^(−j)
        }
    }
    abort_with("square root: an element outside the 2-power subgroup");
}

// z^(−g) for g below 2^S: one table entry per window.
Fr neg_power_of_root_var(u64 g) {
    Fr acc = Fr::from_mont(NEG_POWERS[0][g % ROW]);
    for (unsigned k = 1; k < WINDOWS; ++k) acc *= Fr::from_mont(NEG_POWERS[k][(g >> (W * k)) % ROW]);
    return acc;
}

// a^e for the fixed exponent e = (t − 1)/2, with a 4-bit window: the
// odd-and-even powers a^0..a^15 first, then four squarings per digit.
Fr pow_t_minus_1_over_2_var(const Fr& a) {
    std::array<Fr, 16> powers;
    powers[0] = Fr::one();
    powers[1] = a;
    for (std::size_t i = 2; i < 16; ++i) powers[i] = i % 2 == 0 ? powers[i / 2].square() : powers[i - 1] * a;
    int top = 255;
    while (!derive::bit(T_MINUS_1_OVER_2, static_cast<unsigned>(top))) --top;
    int nibble = top / 4;
    Fr acc = powers[(T_MINUS_1_OVER_2[nibble / 16] >> (4 * (nibble % 16))) & 15];
    while (nibble-- > 0) {
        acc = acc.square().square().square().square();
        const u64 digit = (T_MINUS_1_OVER_2[nibble / 16] >> (4 * (nibble % 16))) & 15;
        if (digit != 0) acc *= powers[digit];
    }
    return acc;
}

}  // namespace


namespace {

// Given b = z^e (of order dividing 2^S) and x with x² = a·b: none when e is
// odd (a is a non-residue), else x·z^f with f = −e/2 reduced into
// [0, 2^(S−1)), the root the bit-by-bit loop (Tonelli–Shanks) finds; f = e/2
// mod 2^S would give the other one of the pair.
std::optional<Fr> finish_root_var(const Fr& x, const Fr& b) {
    // b^(2^(W·k)) for k = 0..WINDOWS−1.
    std::array<Fr, WINDOWS> b_pow;
    b_pow[0] = b;
    for (unsigned k = 1; k < WINDOWS; ++k) {
        Fr y = b_pow[k - 1];
        for (unsigned i = 0; i < W; ++i) y = y.square();
        b_pow[k] = y;
    }
    // Window k of e: (b·z^(−(e mod 2^(W·k))))^(2^(S−W−W·k)) = γ^(e_k).
    u64 e = 0;
    for (unsigned k = 0; k < WINDOWS; ++k) {
        Fr y = b_pow[WINDOWS - 1 - k];
        for (unsigned i = 0; i < k; ++i) {
            const u64 digit = (e >> (W * i)) % ROW;
            if (digit != 0) y *= Fr::from_mont(NEG_POWERS[WINDOWS - 1 - k + i][digit]);
        }
        e |= static_cast<u64>(log_of_small_order_var(y)) << (W * k);
    }
    if (e & 1) return std::nullopt;
    constexpr u64 HALF_ORDER = u64{1} << (S - 1);
    const u64 f = (HALF_ORDER - e / 2) % HALF_ORDER;
    const u64 g = ((u64{1} << S) - f) % (u64{1} << S);  // z^f = z^(−g)
    return g == 0 ? x : x * neg_power_of_root_var(g);
}

}  // namespace

// With w = a^((t−1)/2), x = a·w = a^((t+1)/2) and b = x·w = a^t = z^e; a is
// a residue exactly when e is even.
template <>
std::optional<Fr> sqrt_var<FrParams>(const Fr& a) {
    if (a.is_zero()) return a;
    const Fr w = pow_t_minus_1_over_2_var(a);
    const Fr x = a * w;
    return finish_root_var(x, x * w);
}

// The same for a = u/v without inverting v: with
//   w = (u·v^(2^(S+1) − 1))^((t−1)/2) · v^(2^S − 1),
// x = u·w and b = u·v·w² = (u/v)^t, and x² = (u/v)·b as above (v^(r−1) = 1).
template <>
std::optional<Fr> sqrt_ratio_var<FrParams>(const Fr& u, const Fr& v) {
    if (v.is_zero()) return std::nullopt;
    if (u.is_zero()) return u;
    // v^(2^S − 1) as v^(2^k − 1) for k = 1, 2, 4, .. and the remaining bits.
    Fr v_pow = v;  // v^(2^k − 1)
    unsigned k = 1;
    while (2 * k <= S) {
        Fr y = v_pow;
        for (unsigned i = 0; i < k; ++i) y = y.square();
        v_pow = y * v_pow;
        k *= 2;
    }
    for (; k < S; ++k) v_pow = v_pow.square() * v;
    const Fr w = pow_t_minus_1_over_2_var(u * v_pow.square() * v) * v_pow;
    const Fr x = u * w;
    return finish_root_var(x, x * w * v);
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

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
