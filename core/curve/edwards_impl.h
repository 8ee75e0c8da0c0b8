// The definitions behind edwards.h, for any curve parameter set. edwards.cpp
// instantiates them for Baby Jubjub; another curve includes this header.
#pragma once

#include <string>

#include "common/kernel_copy.h"
#include "common/secret.h"
#include "curve/edwards.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {
namespace edwards {

namespace detail {

using field::u64;

// A point prepared as the second operand of an addition:
// (Y − X, Y + X, 2d·T, 2Z). Scaling the unified addition by 2 this way costs
// eight multiplications instead of nine and gives the same projective point.
template <class F>
struct Cached {
    F y_minus_x, y_plus_x, t2d, z2;
};

template <class F>
Cached<F> to_cached(const Extended<F>& p, const F& d2) {
    return {p.y - p.x, p.y + p.x, p.t * d2, p.z.dbl()};
}

// The neutral point in cached form.
template <class F>
Cached<F> cached_neutral() {
    return {F::one(), F::one(), F::zero(), F::one().dbl()};
}
// Unified addition, a = −1:
//   A = (Y1 − X1)(Y2 − X2), B = (Y1 + X1)(Y2 + X2), C = T1·2d·T2, D = Z1·2Z2,
//   E = B − A, F = D − C, G = D + C, H = B + A,
//   X3 = E·F, Y3 = G·H, T3 = E·H, Z3 = F·G.
// A sum that only a doubling reads next may leave T out (WITH_T false):
// doubling never reads it.
template <bool WITH_T = true, class F>
Extended<F> add_cached(const Extended<F>& p, const Cached<F>& q) {
    const F a = (p.y - p.x) * q.y_minus_x;
    const F b = (p.y + p.x) * q.y_plus_x;
    const F c = p.t * q.t2d;
    const F d = p.z * q.z2;
    const F e = b - a, f = d - c, g = d + c, h = b + a;
    Extended<F> r;
    r.x = e * f;
    r.y = g * h;
    r.z = f * g;
    if constexpr (WITH_T) r.t = e * h;
    return r;
}

// The same with an affine second operand (Z2 = 1): (y − x, y + x, 2d·x·y).
template <bool WITH_T = true, class F, class Niels>
Extended<F> add_niels(const Extended<F>& p, const Niels& q) {
    const F a = (p.y - p.x) * q.y_minus_x;
    const F b = (p.y + p.x) * q.y_plus_x;
    const F c = p.t * q.xy2d;
    const F d = p.z.dbl();
    const F e = b - a, f = d - c, g = d + c, h = b + a;
    Extended<F> r;
    r.x = e * f;
    r.y = g * h;
    r.z = f * g;
    if constexpr (WITH_T) r.t = e * h;
    return r;
}

// Doubling, a = −1 (d is not needed):
//   A = X², B = Y², C = 2Z², D = −A, E = (X + Y)² + D − B,
//   G = D + B, F = G − C, H = D − B,
//   X3 = E·F, Y3 = G·H, T3 = E·H, Z3 = F·G.
// Doubling never reads T, so a doubling followed by another doubling skips it.
template <bool WITH_T, class F>
Extended<F> dbl_impl(const Extended<F>& p) {
    const F a = p.x.square();
    const F b = p.y.square();
    const F c = p.z.square().dbl();
    const F d = -a;
    const F e = (p.x + p.y).square() + d - b;
    const F g = d + b, f = g - c, h = d - b;
    Extended<F> r;
    r.x = e * f;
    r.y = g * h;
    r.z = f * g;
    if constexpr (WITH_T) r.t = e * h;
    return r;
}

// 1 when a == b, else 0, for small non-negative values, without branching.
inline u64 ct_eq_small(u64 a, u64 b) { return ((a ^ b) - 1) >> 63; }

template <class F>
Cached<F> select_entry(const Cached<F>& a, const Cached<F>& b, u64 choice) {
    return {F::select(a.y_minus_x, b.y_minus_x, choice), F::select(a.y_plus_x, b.y_plus_x, choice),
            F::select(a.t2d, b.t2d, choice), F::select(a.z2, b.z2, choice)};
}

template <class Niels>
    requires requires(Niels n) { n.xy2d; }
Niels select_entry(const Niels& a, const Niels& b, u64 choice) {
    using F = decltype(a.xy2d);
    return {F::select(a.y_minus_x, b.y_minus_x, choice), F::select(a.y_plus_x, b.y_plus_x, choice),
            F::select(a.xy2d, b.xy2d, choice)};
}

// Negation swaps Y − X with Y + X and negates the T term.
template <class F>
Cached<F> negate_entry(const Cached<F>& e) {
    return {e.y_plus_x, e.y_minus_x, -e.t2d, e.z2};
}
template <class Niels>
    requires requires(Niels n) { n.xy2d; }
Niels negate_entry(const Niels& e) {
    return {e.y_plus_x, e.y_minus_x, -e.xy2d};
}

// digit·P from the multiples 1·P..8·P, digit in [−8, 8], in constant time:
// every entry is read, the match and the sign are applied by masked selects.
template <class E>
E lookup(const E* multiples, const E& neutral, int digit) {
    const u64 negative = static_cast<u64>(static_cast<std::int64_t>(digit)) >> 63;
    const u64 magnitude = (static_cast<u64>(static_cast<std::int64_t>(digit)) ^ (0 - negative)) + negative;
    E r = neutral;
    for (u64 j = 1; j <= 8; ++j) r = select_entry(r, multiples[j - 1], ct_eq_small(magnitude, j));
    return select_entry(r, negate_entry(r), negative);
}

// Signed radix-16 digits in [−8, 8] of a scalar's canonical integer, computed
// without branching (into_repr is one Montgomery multiplication by 1, whose
// result is below the modulus). The digits are the scalar in another form:
// the caller keeps them in a Secret.
template <class Scalar>
using Digits = std::array<int, scalar_windows<Scalar>()>;

template <class Scalar>
void recode_signed_radix16(const Scalar& scalar, Digits<Scalar>& digits) {
    const Secret<Repr> k(scalar.into_repr());
    int carry = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const int v = static_cast<int>(((*k)[i / 16] >> (4 * (i % 16))) & 0xf) + carry;
        carry = (v + 8) >> 4;
        digits[i] = v - (carry << 4);
    }
}

// Width-5 non-adjacent form of any 256-bit integer: digits odd in [−15, 15] or
// zero, at most 257 of them, least significant first.
inline std::array<std::int8_t, 257> recode_wnaf5(const Repr& scalar) {
    std::array<std::int8_t, 257> naf{};
    u64 k[5] = {scalar[0], scalar[1], scalar[2], scalar[3], 0};
    auto nonzero = [&k] { return (k[0] | k[1] | k[2] | k[3] | k[4]) != 0; };
    for (std::size_t i = 0; nonzero(); ++i) {
        if (k[0] & 1) {
            int d = static_cast<int>(k[0] & 31);
            if (d >= 16) d -= 32;
            naf[i] = static_cast<std::int8_t>(d);
            // k −= d, with a borrow or carry through the limbs.
            if (d > 0) {
                u64 borrow = static_cast<u64>(d);
                for (auto& limb : k) {
                    const u64 before = limb;
                    limb -= borrow;
                    borrow = before < borrow ? 1 : 0;
                }
            } else {
                u64 carry = static_cast<u64>(-d);
                for (auto& limb : k) {
                    limb += carry;
                    carry = limb < carry ? 1 : 0;
                }
            }
        }
        for (int j = 0; j < 4; ++j) k[j] = (k[j] >> 1) | (k[j + 1] << 63);
        k[4] >>= 1;
    }
    return naf;
}

// The points as affine table entries, with one batched inversion of their Z
// coordinates (Montgomery's trick), in variable time: for public points.
template <class F>
std::vector<AffineEntry<F>> to_affine_entries_var(const std::vector<Extended<F>>& points, const F& d2) {
    std::vector<F> prefix(points.size());
    F running = F::one();
    for (std::size_t i = 0; i < points.size(); ++i) {
        prefix[i] = running;
        running *= points[i].z;
    }
    auto inv = running.inverse_var();
    if (!inv) abort_with("called `Option::unwrap()` on a `None` value");
    F acc = *inv;  // (z0·…·z_{n−1})⁻¹
    std::vector<AffineEntry<F>> entries(points.size());
    for (std::size_t i = points.size(); i-- > 0;) {
        const F zinv = acc * prefix[i];
        acc *= points[i].z;
        const F x = points[i].x * zinv, y = points[i].y * zinv;
        entries[i] = AffineEntry<F>{y - x, y + x, x * y * d2};
    }
    return entries;
}

// P, 3·P, …, (2N − 1)·P, as operands of additions.
template <std::size_t N, class F>
std::array<Cached<F>, N> odd_multiples(const Extended<F>& p, const F& d2) {
    std::array<Cached<F>, N> odd;
    odd[0] = to_cached(p, d2);
    const Cached<F> twice = to_cached(dbl_impl<true>(p), d2);
    Extended<F> m = p;
    for (std::size_t j = 1; j < N; ++j) {
        m = add_cached(m, twice);
        odd[j] = to_cached(m, d2);
    }
    return odd;
}

template <class Curve>
ExtendedOf<Curve> add(const ExtendedOf<Curve>& p, const ExtendedOf<Curve>& q, const Curve& params) {
    return add_cached(p, to_cached(q, params.edwards_2d()));
}

template <class F>
Extended<F> dbl(const Extended<F>& p) {
    return dbl_impl<true>(p);
}

template <class F>
bool equal(const Extended<F>& p, const Extended<F>& q) {
    return ((p.x * q.z).ct_eq(q.x * p.z) & (p.y * q.z).ct_eq(q.y * p.z)) != 0;
}

template <class Curve>
ExtendedOf<Curve> mul(const ExtendedOf<Curve>& p, const typename Curve::Scalar& scalar, const Curve& params) {
    using F = typename Curve::Base;
    using Scalar = typename Curve::Scalar;
    const F& d2 = params.edwards_2d();
    // 1·P .. 8·P, built the same way for every P.
    std::array<Cached<F>, 8> multiples;
    Extended<F> m = p;
    multiples[0] = to_cached(m, d2);
    for (std::size_t j = 1; j < 8; ++j) {
        m = add_cached(m, multiples[0]);
        multiples[j] = to_cached(m, d2);
    }
    Secret<Digits<Scalar>> digits;
    recode_signed_radix16(scalar, *digits);
    const Cached<F> neutral = cached_neutral<F>();
    // The partial sums and the chosen multiples would give the digits away.
    Secret<Extended<F>> acc(Extended<F>{F::zero(), F::one(), F::zero(), F::one()});
    Secret<Cached<F>> chosen;
    for (std::size_t i = digits->size(); i-- > 0;) {
        if (i + 1 != digits->size()) {
            *acc = dbl_impl<false>(*acc);
            *acc = dbl_impl<false>(*acc);
            *acc = dbl_impl<false>(*acc);
            *acc = dbl_impl<true>(*acc);
        }
        *chosen = lookup(multiples.data(), neutral, (*digits)[i]);
        *acc = add_cached(*acc, *chosen);
    }
    return *acc;
}

template <class Curve>
ExtendedOf<Curve> mul_var(const ExtendedOf<Curve>& p, const Repr& scalar, const Curve& params) {
    using F = typename Curve::Base;
    const auto naf = recode_wnaf5(scalar);
    std::size_t top = naf.size();
    while (top > 0 && naf[top - 1] == 0) --top;
    Extended<F> acc{F::zero(), F::one(), F::zero(), F::one()};
    if (top == 0) return acc;

    const auto odd = odd_multiples<8>(p, params.edwards_2d());
    for (std::size_t i = top; i-- > 0;) {
        const int digit = naf[i];
        // T is needed only by an addition and by the caller.
        if (i + 1 != top) acc = digit != 0 || i == 0 ? dbl_impl<true>(acc) : dbl_impl<false>(acc);
        if (digit > 0) acc = add_cached(acc, odd[static_cast<std::size_t>(digit / 2)]);
        if (digit < 0) acc = add_cached(acc, negate_entry(odd[static_cast<std::size_t>(-digit / 2)]));
    }
    return acc;
}

template <class F>
std::pair<F, F> to_xy(const Extended<F>& p) {
    const Secret<F> zinv(p.z.invert().first);  // Z is never zero; it may come from a secret multiplication
    return {p.x * *zinv, p.y * *zinv};
}

template <class F>
Extended<F> to_affine(const Extended<F>& p) {
    const auto [x, y] = to_xy(p);
    return {x, y, x * y, F::one()};
}

// 1/Z1 = Z2/(Z1·Z2) and 1/Z2 = Z1/(Z1·Z2), in constant time; every value
// along the way may derive from a secret and is wiped.
template <class F>
std::pair<Extended<F>, Extended<F>> to_affine_pair(const Extended<F>& p, const Extended<F>& q) {
    const Secret<F> inv((p.z * q.z).invert().first);
    const Secret<F> p_zinv(*inv * q.z), q_zinv(*inv * p.z);
    const F px = p.x * *p_zinv, py = p.y * *p_zinv, qx = q.x * *q_zinv, qy = q.y * *q_zinv;
    return {{px, py, px * py, F::one()}, {qx, qy, qx * qy, F::one()}};
}

template <class F>
std::pair<F, F> to_xy_var(const Extended<F>& p) {
    if (p.z == F::one()) return {p.x, p.y};
    const auto zinv = p.z.inverse_var();
    if (!zinv) abort_with("called `Option::unwrap()` on a `None` value");
    return {p.x * *zinv, p.y * *zinv};
}

template <class F>
std::array<std::uint8_t, 32> write(const Extended<F>& p) {
    const auto [x, y] = to_xy(p);
    return write_xy(x, y);
}

}  // namespace detail

template <class F>
std::array<std::uint8_t, 32> write_xy(const F& x, const F& y) {
    Repr yr = y.into_repr();
    yr[3] |= (x.into_repr()[0] & 1) << 63;  // the sign, without a branch on x
    return integers::to_bytes_le(yr);
}

template <class Curve>
Result<CurvePoint<Curve, Unknown>> read_var(std::span<const std::uint8_t> bytes,
                                            const std::type_identity_t<Curve>& params) {
    using F = typename Curve::Base;
    if (bytes.size() < 32) return Error{"failed to fill whole buffer", {}};
    Repr yr = integers::from_bytes_le(bytes.first<32>());
    const bool sign = (yr[3] >> 63) != 0;
    yr[3] &= ~(field::u64{1} << 63);
    const auto y = F::from_repr(yr);
    if (!y.ok()) return Error{"y is not in field", {}};

    const F y2 = y.value().square();
    const F numerator = y2 - F::one();
    // Either root of the pair will do: the sign bit picks one below.
    auto x = field::sqrt_ratio_var(numerator, params.edwards_d() * y2 + F::one());
    if (!x) return Error{"not on curve", {}};
    if (((x->into_repr()[0] & 1) != 0) != sign) *x = -*x;  // zero stays zero
    return CurvePoint<Curve, Unknown>(detail::Extended<F>{*x, y.value(), *x * y.value(), F::one()});
}

template <class Curve>
std::optional<CurvePoint<Curve, Unknown>> from_xy(const typename Curve::Base& x, const typename Curve::Base& y,
                                                  const std::type_identity_t<Curve>& params) {
    using F = typename Curve::Base;
    const F x2 = x.square(), y2 = y.square();
    if (y2 - x2 != params.edwards_d() * x2 * y2 + F::one()) return std::nullopt;
    return CurvePoint<Curve, Unknown>(detail::Extended<F>{x, y, x * y, F::one()});
}

template <class Curve>
CurveFixedBaseTable<Curve>::CurveFixedBaseTable(const CurvePoint<Curve, PrimeOrder>& base, const Curve& params) {
    using detail::Extended;
    const F& d2 = params.edwards_2d();
    // All multiples in extended form first, then affine with one inversion
    // (the base is public).
    std::vector<Extended<F>> points;
    points.reserve(WINDOWS * ENTRIES_PER_WINDOW);
    Extended<F> window_base = base.e_;
    for (std::size_t w = 0; w < WINDOWS; ++w) {
        const detail::Cached<F> b = detail::to_cached(window_base, d2);
        Extended<F> m = window_base;
        points.push_back(m);
        for (std::size_t j = 1; j < ENTRIES_PER_WINDOW; ++j) {
            m = detail::add_cached(m, b);
            points.push_back(m);
        }
        for (int k = 0; k < 4; ++k) window_base = detail::dbl(window_base);
    }
    entries_ = detail::to_affine_entries_var(points, d2);
}

template <class Curve>
CurveOddMultiples<Curve>::CurveOddMultiples(const CurvePoint<Curve, PrimeOrder>& base, std::size_t count,
                                            const Curve& params) {
    using detail::Extended;
    const F& d2 = params.edwards_2d();
    const detail::Cached<F> twice = detail::to_cached(detail::dbl(base.e_), d2);
    std::vector<Extended<F>> points;
    points.reserve(count);
    Extended<F> m = base.e_;
    for (std::size_t j = 0; j < count; ++j) {
        if (j > 0) m = detail::add_cached(m, twice);
        points.push_back(m);
    }
    entries_ = detail::to_affine_entries_var(points, d2);
}

template <class Curve>
CurvePoint<Curve, PrimeOrder> CurveFixedBaseTable<Curve>::mul(const typename Curve::Scalar& scalar) const {
    using Scalar = typename Curve::Scalar;
    Secret<detail::Digits<Scalar>> digits;
    detail::recode_signed_radix16(scalar, *digits);
    const Entry neutral{F::one(), F::one(), F::zero()};
    // As in mul: partial sums and chosen entries are wiped.
    Secret<detail::Extended<F>> acc(detail::Extended<F>{F::zero(), F::one(), F::zero(), F::one()});
    Secret<Entry> chosen;
    for (std::size_t w = 0; w < WINDOWS; ++w) {
        *chosen = detail::lookup(&entries_[w * ENTRIES_PER_WINDOW], neutral, (*digits)[w]);
        *acc = detail::add_niels(*acc, *chosen);
    }
    return CurvePoint<Curve, PrimeOrder>(*acc);
}

}  // namespace edwards
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
