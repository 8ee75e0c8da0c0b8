#include "curve/edwards.h"

#include <string>

#include "common/secret.h"

namespace lumora::curve::edwards {

namespace detail {

namespace {

using field::u64;

// A point prepared as the second operand of an addition:
// (Y − X, Y + X, 2d·T, 2Z). Scaling the unified addition by 2 this way costs
// eight multiplications instead of nine and gives the same projective point.
struct Cached {
    Fr y_minus_x, y_plus_x, t2d, z2;
};

using Niels = FixedBaseTable::Entry;

Cached to_cached(const Extended& p, const Fr& d2) { return {p.y - p.x, p.y + p.x, p.t * d2, p.z.dbl()}; }

// The neutral point in cached and affine form.
Cached cached_neutral() { return {Fr::one(), Fr::one(), Fr::zero(), Fr::one().dbl()}; }
Niels niels_neutral() { return {Fr::one(), Fr::one(), Fr::zero()}; }

// Unified addition, a = −1:
//   A = (Y1 − X1)(Y2 − X2), B = (Y1 + X1)(Y2 + X2), C = T1·2d·T2, D = Z1·2Z2,
//   E = B − A, F = D − C, G = D + C, H = B + A,
//   X3 = E·F, Y3 = G·H, T3 = E·H, Z3 = F·G.
Extended add_cached(const Extended& p, const Cached& q) {
    const Fr a = (p.y - p.x) * q.y_minus_x;
    const Fr b = (p.y + p.x) * q.y_plus_x;
    const Fr c = p.t * q.t2d;
    const Fr d = p.z * q.z2;
    const Fr e = b - a, f = d - c, g = d + c, h = b + a;
    return {e * f, g * h, e * h, f * g};
}

// The same with an affine second operand (Z2 = 1).
Extended add_niels(const Extended& p, const Niels& q) {
    const Fr a = (p.y - p.x) * q.y_minus_x;
    const Fr b = (p.y + p.x) * q.y_plus_x;
    const Fr c = p.t * q.xy2d;
    const Fr d = p.z.dbl();
    const Fr e = b - a, f = d - c, g = d + c, h = b + a;
    return {e * f, g * h, e * h, f * g};
}

// Doubling, a = −1 (d is not needed):
//   A = X², B = Y², C = 2Z², D = −A, E = (X + Y)² + D − B,
//   G = D + B, F = G − C, H = D − B,
//   X3 = E·F, Y3 = G·H, T3 = E·H, Z3 = F·G.
// Doubling never reads T, so a doubling followed by another doubling skips it.
template <bool WITH_T>
Extended dbl_impl(const Extended& p) {
    const Fr a = p.x.square();
    const Fr b = p.y.square();
    const Fr c = p.z.square().dbl();
    const Fr d = -a;
    const Fr e = (p.x + p.y).square() + d - b;
    const Fr g = d + b, f = g - c, h = d - b;
    Extended r;
    r.x = e * f;
    r.y = g * h;
    r.z = f * g;
    if constexpr (WITH_T) r.t = e * h;
    return r;
}

// 1 when a == b, else 0, for small non-negative values, without branching.
u64 ct_eq_small(u64 a, u64 b) { return ((a ^ b) - 1) >> 63; }

template <class E>
E select_entry(const E& a, const E& b, u64 choice);

template <>
Cached select_entry(const Cached& a, const Cached& b, u64 choice) {
    return {Fr::select_ct(a.y_minus_x, b.y_minus_x, choice), Fr::select_ct(a.y_plus_x, b.y_plus_x, choice),
            Fr::select_ct(a.t2d, b.t2d, choice), Fr::select_ct(a.z2, b.z2, choice)};
}

template <>
Niels select_entry(const Niels& a, const Niels& b, u64 choice) {
    return {Fr::select_ct(a.y_minus_x, b.y_minus_x, choice), Fr::select_ct(a.y_plus_x, b.y_plus_x, choice),
            Fr::select_ct(a.xy2d, b.xy2d, choice)};
}

// Negation swaps Y − X with Y + X and negates the T term.
Cached negate_entry(const Cached& e) { return {e.y_plus_x, e.y_minus_x, -e.t2d, e.z2}; }
Niels negate_entry(const Niels& e) { return {e.y_plus_x, e.y_minus_x, -e.xy2d}; }

// digit·P from the multiples 1·P..8·P, digit in [−8, 8], in constant time:
// every entry is read, the match and the sign are applied by masked selects.
template <class E>
E lookup_ct(const E* multiples, const E& neutral, int digit) {
    const u64 negative = static_cast<u64>(static_cast<std::int64_t>(digit)) >> 63;
    const u64 magnitude = (static_cast<u64>(static_cast<std::int64_t>(digit)) ^ (0 - negative)) + negative;
    E r = neutral;
    for (u64 j = 1; j <= 8; ++j) r = select_entry(r, multiples[j - 1], ct_eq_small(magnitude, j));
    return select_entry(r, negate_entry(r), negative);
}

// Signed radix-16 digits in [−8, 8] of a scalar's canonical integer (below
// 2^252, so 64 digits carry everything), computed without branching: the
// canonical form comes from a Montgomery multiplication by 1 rather than
// from into_repr, whose reduction may stop early on carries. The digits are
// the scalar in another form: the caller keeps them in a Secret.
using Digits = std::array<int, 64>;
void recode_signed_radix16(const Fs& scalar, Digits& digits) {
    const Secret<Repr> k((scalar * Fs::from_mont({1, 0, 0, 0})).mont());
    int carry = 0;
    for (std::size_t i = 0; i < 64; ++i) {
        const int v = static_cast<int>(((*k)[i / 16] >> (4 * (i % 16))) & 0xf) + carry;
        carry = (v + 8) >> 4;
        digits[i] = v - (carry << 4);
    }
}

// Width-5 non-adjacent form of any 256-bit integer: digits odd in [−15, 15] or
// zero, at most 257 of them, least significant first.
std::array<std::int8_t, 257> recode_wnaf5(const Repr& scalar) {
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

}  // namespace

Extended add(const Extended& p, const Extended& q, const JubjubParams& params) {
    return add_cached(p, to_cached(q, params.edwards_2d()));
}

Extended dbl(const Extended& p) { return dbl_impl<true>(p); }

bool equal(const Extended& p, const Extended& q) { return p.x * q.z == q.x * p.z && p.y * q.z == q.y * p.z; }

Extended mul_ct(const Extended& p, const Fs& scalar, const JubjubParams& params) {
    const Fr& d2 = params.edwards_2d();
    // 1·P .. 8·P, built the same way for every P.
    std::array<Cached, 8> multiples;
    Extended m = p;
    multiples[0] = to_cached(m, d2);
    for (std::size_t j = 1; j < 8; ++j) {
        m = add_cached(m, multiples[0]);
        multiples[j] = to_cached(m, d2);
    }
    Secret<Digits> digits;
    recode_signed_radix16(scalar, *digits);
    const Cached neutral = cached_neutral();
    // The partial sums and the chosen multiples would give the digits away.
    Secret<Extended> acc(Extended{Fr::zero(), Fr::one(), Fr::zero(), Fr::one()});
    Secret<Cached> chosen;
    for (std::size_t i = 64; i-- > 0;) {
        if (i != 63) {
            *acc = dbl_impl<false>(*acc);
            *acc = dbl_impl<false>(*acc);
            *acc = dbl_impl<false>(*acc);
            *acc = dbl_impl<true>(*acc);
        }
        *chosen = lookup_ct(multiples.data(), neutral, (*digits)[i]);
        *acc = add_cached(*acc, *chosen);
    }
    return *acc;
}

Extended mul_var(const Extended& p, const Repr& scalar, const JubjubParams& params) {
    const auto naf = recode_wnaf5(scalar);
    std::size_t top = naf.size();
    while (top > 0 && naf[top - 1] == 0) --top;
    Extended acc{Fr::zero(), Fr::one(), Fr::zero(), Fr::one()};
    if (top == 0) return acc;

    // P, 3P, .., 15P.
    const Fr& d2 = params.edwards_2d();
    std::array<Cached, 8> odd;
    odd[0] = to_cached(p, d2);
    const Cached twice = to_cached(dbl_impl<true>(p), d2);
    Extended m = p;
    for (std::size_t j = 1; j < 8; ++j) {
        m = add_cached(m, twice);
        odd[j] = to_cached(m, d2);
    }
    for (std::size_t i = top; i-- > 0;) {
        const int digit = naf[i];
        // T is needed only by an addition and by the caller.
        if (i + 1 != top) acc = digit != 0 || i == 0 ? dbl_impl<true>(acc) : dbl_impl<false>(acc);
        if (digit > 0) acc = add_cached(acc, odd[static_cast<std::size_t>(digit / 2)]);
        if (digit < 0) acc = add_cached(acc, negate_entry(odd[static_cast<std::size_t>(-digit / 2)]));
    }
    return acc;
}

std::pair<Fr, Fr> to_xy_ct(const Extended& p) {
    const Secret<Fr> zinv(p.z.invert_ct().first);  // Z is never zero; it may come from a secret multiplication
    return {p.x * *zinv, p.y * *zinv};
}

Extended to_affine_ct(const Extended& p) {
    const auto [x, y] = to_xy_ct(p);
    return {x, y, x * y, Fr::one()};
}

// 1/Z1 = Z2/(Z1·Z2) and 1/Z2 = Z1/(Z1·Z2), in constant time; every value
// along the way may derive from a secret and is wiped.
std::pair<Extended, Extended> to_affine_pair_ct(const Extended& p, const Extended& q) {
    const Secret<Fr> inv((p.z * q.z).invert_ct().first);
    const Secret<Fr> p_zinv(*inv * q.z), q_zinv(*inv * p.z);
    const Fr px = p.x * *p_zinv, py = p.y * *p_zinv, qx = q.x * *q_zinv, qy = q.y * *q_zinv;
    return {{px, py, px * py, Fr::one()}, {qx, qy, qx * qy, Fr::one()}};
}

std::pair<Fr, Fr> to_xy_var(const Extended& p) {
    if (p.z == Fr::one()) return {p.x, p.y};
    const auto zinv = p.z.inverse();
    if (!zinv) abort_with("called `Option::unwrap()` on a `None` value");
    return {p.x * *zinv, p.y * *zinv};
}

std::array<std::uint8_t, 32> write(const Extended& p) {
    const auto [x, y] = to_xy_ct(p);
    return write_xy(x, y);
}

}  // namespace detail

std::array<std::uint8_t, 32> write_xy(const Fr& x, const Fr& y) {
    Repr yr = y.into_repr();
    if (x.into_repr()[0] & 1) yr[3] |= field::u64{1} << 63;
    return field::repr_to_bytes_le(yr);
}

Result<Point<Unknown>> read(std::span<const std::uint8_t> bytes, const JubjubParams& params) {
    if (bytes.size() < 32) return Error{"failed to fill whole buffer", {}};
    Repr yr = field::repr_from_bytes_le(bytes.first<32>());
    const bool sign = (yr[3] >> 63) != 0;
    yr[3] &= ~(field::u64{1} << 63);
    const auto y = Fr::from_repr(yr);
    if (!y.ok()) return Error{"y is not in field", {}};

    const Fr y2 = y.value().square();
    const Fr numerator = y2 - Fr::one();
    auto x = field::sqrt_ratio_var(numerator, params.edwards_d() * y2 + Fr::one());
    if (!x) return Error{"not on curve", {}};
    if (((x->into_repr()[0] & 1) != 0) != sign) *x = -*x;  // zero stays zero
    return Point<Unknown>(detail::Extended{*x, y.value(), *x * y.value(), Fr::one()});
}

std::string read_error_debug(const Error& error) {
    if (error.message == "failed to fill whole buffer")
        return "Error { kind: UnexpectedEof, message: \"failed to fill whole buffer\" }";
    return "Custom { kind: InvalidInput, error: \"" + error.message + "\" }";
}

std::optional<Point<Unknown>> from_xy(const Fr& x, const Fr& y, const JubjubParams& params) {
    const Fr x2 = x.square(), y2 = y.square();
    if (y2 - x2 != params.edwards_d() * x2 * y2 + Fr::one()) return std::nullopt;
    return Point<Unknown>(detail::Extended{x, y, x * y, Fr::one()});
}

FixedBaseTable::FixedBaseTable(const Point<PrimeOrder>& base, const JubjubParams& params) {
    using detail::Extended;
    const Fr& d2 = params.edwards_2d();
    // All multiples in extended form first, then one batched inversion of
    // their Z coordinates (Montgomery's trick) to make them affine.
    std::vector<Extended> points;
    points.reserve(WINDOWS * ENTRIES_PER_WINDOW);
    Extended window_base = base.e_;
    for (std::size_t w = 0; w < WINDOWS; ++w) {
        const detail::Cached b = detail::to_cached(window_base, d2);
        Extended m = window_base;
        points.push_back(m);
        for (std::size_t j = 1; j < ENTRIES_PER_WINDOW; ++j) {
            m = detail::add_cached(m, b);
            points.push_back(m);
        }
        for (int k = 0; k < 4; ++k) window_base = detail::dbl(window_base);
    }
    std::vector<Fr> prefix(points.size());
    Fr running = Fr::one();
    for (std::size_t i = 0; i < points.size(); ++i) {
        prefix[i] = running;
        running *= points[i].z;
    }
    auto inv = running.inverse();
    if (!inv) abort_with("called `Option::unwrap()` on a `None` value");
    Fr acc = *inv;  // (z0·…·z_{n−1})⁻¹
    entries_.resize(points.size());
    for (std::size_t i = points.size(); i-- > 0;) {
        const Fr zinv = acc * prefix[i];
        acc *= points[i].z;
        const Fr x = points[i].x * zinv, y = points[i].y * zinv;
        entries_[i] = Entry{y - x, y + x, x * y * d2};
    }
}

Point<PrimeOrder> FixedBaseTable::mul(const Fs& scalar) const {
    Secret<detail::Digits> digits;
    detail::recode_signed_radix16(scalar, *digits);
    const Entry neutral = detail::niels_neutral();
    // As in mul_ct: partial sums and chosen entries are wiped.
    Secret<detail::Extended> acc(detail::Extended{Fr::zero(), Fr::one(), Fr::zero(), Fr::one()});
    Secret<Entry> chosen;
    for (std::size_t w = 0; w < WINDOWS; ++w) {
        *chosen = detail::lookup_ct(&entries_[w * ENTRIES_PER_WINDOW], neutral, (*digits)[w]);
        *acc = detail::add_niels(*acc, *chosen);
    }
    return Point<PrimeOrder>(*acc);
}

}  // namespace lumora::curve::edwards
