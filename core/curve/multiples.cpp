#include "curve/multiples.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#include "curve/edwards_impl.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

namespace {

using field::Repr;
using field::u64;
using UnknownPoint = edwards::Point<edwards::Unknown>;

// Integers below 2^256 for the Euclidean algorithm and the scalar splits.

unsigned bit_length_var(const Repr& a) {
    for (std::size_t i = 4; i-- > 0;)
        if (a[i] != 0) return static_cast<unsigned>(64 * i + 64 - static_cast<std::size_t>(std::countl_zero(a[i])));
    return 0;
}

bool less_var(const Repr& a, const Repr& b) { return !field::detail::geq_var(a, b); }

void sub_in_place(Repr& a, const Repr& b) {
    u64 borrow = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const u64 d = a[i] - b[i];
        const u64 next = (a[i] < b[i]) | (d < borrow);
        a[i] = d - borrow;
        borrow = next;
    }
}

void add_in_place(Repr& a, const Repr& b) {
    u64 carry = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const u64 t = a[i] + b[i];
        const u64 next = (t < a[i]) | (t + carry < t);
        a[i] = t + carry;
        carry = next;
    }
}

// a·2^k and a / 2^k (k < 256), bits beyond 256 dropped.
Repr shift_left(const Repr& a, unsigned k) {
    Repr r{};
    const unsigned limbs = k / 64, bits = k % 64;
    for (std::size_t i = limbs; i < 4; ++i) {
        r[i] = a[i - limbs] << bits;
        if (bits != 0 && i > limbs) r[i] |= a[i - limbs - 1] >> (64 - bits);
    }
    return r;
}

Repr shift_right(const Repr& a, unsigned k) {
    Repr r{};
    const unsigned limbs = k / 64, bits = k % 64;
    for (std::size_t i = 0; i + limbs < 4; ++i) {
        r[i] = a[i + limbs] >> bits;
        if (bits != 0 && i + limbs + 1 < 4) r[i] |= a[i + limbs + 1] << (64 - bits);
    }
    return r;
}

Repr low_bits(const Repr& a, unsigned k) {
    Repr r{};
    for (std::size_t i = 0; i < 4; ++i) {
        const unsigned from = static_cast<unsigned>(64 * i);
        if (k >= from + 64) r[i] = a[i];
        else if (k > from) r[i] = a[i] & ((u64{1} << (k - from)) - 1);
    }
    return r;
}

bool is_zero(const Repr& a) { return (a[0] | a[1] | a[2] | a[3]) == 0; }

// One row of the extended Euclidean algorithm on (l, c): the remainder r_j
// and the magnitude m_j = |t_j| of its multiplier, t_j·c ≡ r_j (mod l). The
// multipliers alternate in sign (t_0 = 0, t_1 = 1, t_j < 0 for even j ≥ 2),
// so the magnitudes add: m_{j+1} = m_{j−1} + q·m_j.
struct EuclidRow {
    Repr r;
    Repr m;
};

// The next row, by binary long division of r_{j−1} by r_j ≠ 0. q·m_j stays
// below 2·l, so nothing overflows. Quotients are mostly small: below 2^64
// the quotient is collected and multiplied in once, otherwise it is applied
// to the magnitude bit by bit.
EuclidRow euclid_step_var(const EuclidRow& before, const EuclidRow& row) {
    EuclidRow next = before;
    const unsigned lb = bit_length_var(before.r), lr = bit_length_var(row.r);
    if (lb < lr) return next;
    unsigned k = lb - lr;
    Repr divisor = shift_left(row.r, k);
    if (k < 64) {
        u64 q = 0;
        for (;;) {
            q <<= 1;
            if (!less_var(next.r, divisor)) {
                sub_in_place(next.r, divisor);
                q |= 1;
            }
            if (k-- == 0) break;
            divisor = shift_right(divisor, 1);
        }
        u64 carry = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto product = static_cast<unsigned __int128>(row.m[i]) * q + next.m[i] + carry;
            next.m[i] = static_cast<u64>(product);
            carry = static_cast<u64>(product >> 64);
        }
        return next;
    }
    Repr addend = shift_left(row.m, k);
    for (;;) {
        if (!less_var(next.r, divisor)) {
            sub_in_place(next.r, divisor);
            add_in_place(next.m, addend);
        }
        if (k-- == 0) break;
        divisor = shift_right(divisor, 1);
        addend = shift_right(addend, 1);
    }
    return next;
}

unsigned row_bits_var(const EuclidRow& row) { return std::max(bit_length_var(row.m), bit_length_var(row.r)); }

// Width-w signed digits of a public integer below 2^255, least significant
// first: every nonzero digit is odd, below 2^(w−1) in magnitude, and followed
// by at least w − 1 zeros. Returns the number of digits up to the last
// nonzero one.
using WideDigits = std::array<std::int16_t, 258>;

template <unsigned W>
std::size_t recode_wnaf_var(const Repr& scalar, WideDigits& digits) {
    static_assert(W >= 2 && W <= 10);
    digits.fill(0);
    u64 k[5] = {scalar[0], scalar[1], scalar[2], scalar[3], 0};
    auto shift_down = [&k](unsigned n) {  // 0 < n < 64
        for (int j = 0; j < 4; ++j) k[j] = (k[j] >> n) | (k[j + 1] << (64 - n));
        k[4] >>= n;
    };
    std::size_t i = 0, length = 0;
    while ((k[0] | k[1] | k[2] | k[3] | k[4]) != 0) {
        if (k[0] == 0) {
            for (int j = 0; j < 4; ++j) k[j] = k[j + 1];
            k[4] = 0;
            i += 64;
            continue;
        }
        if ((k[0] & 1) == 0) {
            const auto zeros = static_cast<unsigned>(std::countr_zero(k[0]));
            shift_down(zeros);
            i += zeros;
            continue;
        }
        int d = static_cast<int>(k[0] & ((u64{1} << W) - 1));
        if (d >= (1 << (W - 1))) d -= 1 << W;
        digits[i] = static_cast<std::int16_t>(d);
        length = i + 1;
        if (d > 0) {
            k[0] -= static_cast<u64>(d);  // the low W bits are d: no borrow
        } else {
            u64 carry = static_cast<u64>(-d);
            for (auto& limb : k) {
                limb += carry;
                carry = limb < carry ? 1 : 0;
            }
        }
        // The low W bits are zero now.
        shift_down(W);
        i += W;
    }
    return length;
}

// (p − 1)/8, p the coordinate field's modulus.
constexpr Repr eighth_power_exponent() {
    Repr e = field::FR_MODULUS;
    e[0] -= 1;  // p is odd
    for (int j = 0; j < 4; ++j) e[j] = (e[j] >> 3) | (j < 3 ? e[j + 1] << 61 : 0);
    return e;
}

}  // namespace

bool in_subgroup_var(const UnknownPoint& p, const AltJubjubBn256& params) {
    using field::Fr;
    // X = 0: the neutral point (in) or (0, −1) (out); f has a pole at the
    // one and a zero at the other, so they are answered apart.
    if (p.x().is_zero()) return p.y() == p.z();
    // The Montgomery point is (u, v) = (UX/D, V/D) with U = Z + Y, W = Z − Y,
    // UX = U·X, D = W·X, V = scale·U·Z. Each line, scaled by D, is a
    // polynomial in UX, V and D; f·(N3·UX·D)^8, an eighth power apart, is
    // (N1·N3)⁴·N2²·(UX·D)⁷, with Ni the scaled lines.
    const TorsionLines& lines = params.torsion_lines();
    const Fr u = p.z() + p.y(), w = p.z() - p.y();
    const Fr ux = u * p.x(), d = w * p.x();
    const Fr v = params.montgomery_scale() * u * p.z();
    const Fr n1 = v - lines.lambda1 * ux - lines.c1 * d;
    const Fr n2 = v - lines.lambda2 * ux - lines.c2 * d;
    const Fr n3 = ux - lines.u2 * d;
    const Fr b = ux * d, b2 = b.square(), b4 = b2.square();
    const Fr z = (n1 * n3).square().square() * n2.square() * (b4 * b2 * b);
    // Zero (p a multiple of T8 on one of the lines) is no eighth power of a
    // unit: refused, as those points are of order 8 or 4.
    return z.pow_var(eighth_power_exponent()) == Fr::one();
}

ChallengeSplit split_challenge_var(const field::Fs& c) {
    // The halves of G's scalar and u, v end up of about the same length.
    const Repr bound = shift_left(Repr{1, 0, 0, 0}, SIGNING_SPLIT_BITS);
    EuclidRow before{field::fs_char(), Repr{}}, row{c.into_repr(), Repr{1, 0, 0, 0}};
    std::size_t j = 1;
    while (!less_var(row.r, bound)) {
        const EuclidRow next = euclid_step_var(before, row);
        before = row;
        row = next;
        ++j;
    }
    // u·c ≡ ±r_j: v is −r_j for even j, where t_j < 0.
    auto split = [](const EuclidRow& x, std::size_t index) {
        return ChallengeSplit{x.m, x.r, index % 2 == 0 && !is_zero(x.r)};
    };
    if ((row.m[0] & 1) != 0) return split(row, j);
    // An even multiplier would let the point of order 2 through. Consecutive
    // multipliers are coprime, so both neighbours are odd: the row before
    // (j ≥ 2 here, as t_1 = 1), or the row after when it is shorter and its
    // multiplier is still below l (it is l itself after the remainder 1).
    const EuclidRow after = euclid_step_var(before, row);
    if (less_var(after.m, field::fs_char()) && row_bits_var(after) < row_bits_var(before)) return split(after, j + 1);
    return split(before, j - 1);
}

bool signing_equation_holds_var(const UnknownPoint& r, const UnknownPoint& pk, const field::Fs& s, const field::Fs& c,
                                const AltJubjubBn256& params) {
    using field::Fr;
    using edwards::detail::Extended;
    namespace detail = edwards::detail;
    constexpr unsigned FIXED_WIDTH = 10, VARIABLE_WIDTH = 5;
    static_assert(SIGNING_ODD_MULTIPLES == std::size_t{1} << (FIXED_WIDTH - 2));

    const ChallengeSplit split = split_challenge_var(c);
    const Repr a = (field::Fs::from_raw(split.u) * s).into_repr();
    // (a mod 2^126)·G + (a / 2^126)·G' − u·R ∓ v·pk.
    WideDigits low, high, r_digits, pk_digits;
    const std::size_t top = std::max({recode_wnaf_var<FIXED_WIDTH>(low_bits(a, SIGNING_SPLIT_BITS), low),
                                      recode_wnaf_var<FIXED_WIDTH>(shift_right(a, SIGNING_SPLIT_BITS), high),
                                      recode_wnaf_var<VARIABLE_WIDTH>(split.u, r_digits),
                                      recode_wnaf_var<VARIABLE_WIDTH>(split.v, pk_digits)});
    const int r_sign = -1, pk_sign = split.v_negative ? 1 : -1;

    const Fr& d2 = params.edwards_2d();
    const auto r_odd = detail::odd_multiples<std::size_t{1} << (VARIABLE_WIDTH - 2)>(
        Extended<Fr>{r.x(), r.y(), r.t(), r.z()}, d2);
    const auto pk_odd = detail::odd_multiples<std::size_t{1} << (VARIABLE_WIDTH - 2)>(
        Extended<Fr>{pk.x(), pk.y(), pk.t(), pk.z()}, d2);
    const edwards::OddMultiples& g_low = params.signing_multiples_low();
    const edwards::OddMultiples& g_high = params.signing_multiples_high();

    // The last addition at each position leaves T out: a doubling follows.
    auto add_fixed = [](Extended<Fr>& acc, const edwards::OddMultiples& table, int digit, bool last) {
        const auto& stored = table.odd(static_cast<std::size_t>(digit < 0 ? -digit : digit) / 2);
        const auto entry = digit < 0 ? detail::negate_entry(stored) : stored;
        acc = last ? detail::add_niels<false>(acc, entry) : detail::add_niels(acc, entry);
    };
    auto add_variable = [](Extended<Fr>& acc, const auto& odd, int digit, bool last) {
        const auto& stored = odd[static_cast<std::size_t>(digit < 0 ? -digit : digit) / 2];
        const auto entry = digit < 0 ? detail::negate_entry(stored) : stored;
        acc = last ? detail::add_cached<false>(acc, entry) : detail::add_cached(acc, entry);
    };

    Extended<Fr> acc{Fr::zero(), Fr::one(), Fr::zero(), Fr::one()};
    bool started = false;
    for (std::size_t i = top; i-- > 0;) {
        const bool adds = (low[i] | high[i] | r_digits[i] | pk_digits[i]) != 0;
        // T is needed only by an addition.
        if (started) acc = adds ? detail::dbl_impl<true>(acc) : detail::dbl_impl<false>(acc);
        if (!adds) continue;
        started = true;
        const bool after_low = (high[i] | r_digits[i] | pk_digits[i]) != 0;
        const bool after_high = (r_digits[i] | pk_digits[i]) != 0;
        if (low[i] != 0) add_fixed(acc, g_low, low[i], !after_low);
        if (high[i] != 0) add_fixed(acc, g_high, high[i], !after_high);
        if (r_digits[i] != 0) add_variable(acc, r_odd, r_sign * r_digits[i], pk_digits[i] == 0);
        if (pk_digits[i] != 0) add_variable(acc, pk_odd, pk_sign * pk_digits[i], true);
    }
    return acc.x.is_zero() && acc.y == acc.z;
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
