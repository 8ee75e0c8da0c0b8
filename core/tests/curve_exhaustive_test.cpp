// The field engine and the Edwards point code checked against brute force
// over a whole toy group: a curve of the same shape as Baby Jubjub
// (a = −1, d a non-square, cofactor 8, a prime-order subgroup) over a field
// small enough that every point and every scalar can be tried.
//
//   p = 113 (p − 1 = 2^4·7, so Tonelli–Shanks takes several rounds),
//   −x² + y² = 1 + 40·x²·y², 104 = 8·13 points (a cyclic group),
//   l = 13: its top radix-16 digit is 13 ≥ 8, so the signed recoding of the
//   constant-time multiplications carries into their extra top window.
//
// The reference side uses plain integers mod p and the affine addition law;
// it shares nothing with the code under test.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "curve/edwards_impl.h"
#include "field/sqrt.h"

namespace lumora::curve {
namespace {

using field::Limbs;
using field::Repr;
using field::u64;

constexpr u64 P = 113;
constexpr u64 D = 40;
constexpr u64 L = 13;
constexpr u64 N = 8 * L;  // the group order

constexpr Limbs TOY_BASE_MODULUS = {P, 0, 0, 0};
constexpr Limbs TOY_SCALAR_MODULUS = {L, 0, 0, 0};
struct ToyBaseParams : field::MontgomeryParams<TOY_BASE_MODULUS> {
    static constexpr u64 NON_RESIDUE = 3;
};
struct ToyScalarParams : field::MontgomeryParams<TOY_SCALAR_MODULUS> {};
using Fp = field::Element<ToyBaseParams>;
using Fl = field::Element<ToyScalarParams>;

class ToyCurve {
public:
    using Base = Fp;
    using Scalar = Fl;
    const Fp& edwards_d() const { return d_; }
    const Fp& edwards_2d() const { return d2_; }

private:
    Fp d_ = Fp::from_u64(D);
    Fp d2_ = Fp::from_u64(2 * D);
};

using ToyPoint = edwards::CurvePoint<ToyCurve, edwards::Unknown>;
using ToyPrimeOrderPoint = edwards::CurvePoint<ToyCurve, edwards::PrimeOrder>;
using Bytes = std::array<std::uint8_t, 32>;

const ToyCurve CURVE;

// ---- the reference: integers mod p ------------------------------------------

u64 mulmod(u64 a, u64 b) { return a * b % P; }
u64 powmod(u64 a, u64 e) {
    u64 r = 1;
    for (; e != 0; e >>= 1, a = mulmod(a, a))
        if (e & 1) r = mulmod(r, a);
    return r;
}
u64 invmod(u64 a) { return powmod(a, P - 2); }
u64 neg(u64 a) { return (P - a) % P; }

struct Affine {
    u64 x, y;
    friend bool operator==(const Affine&, const Affine&) = default;
    friend auto operator<=>(const Affine&, const Affine&) = default;
};

bool on_curve(u64 x, u64 y) {
    const u64 x2 = mulmod(x, x), y2 = mulmod(y, y);
    return (y2 + P - x2) % P == (1 + mulmod(D, mulmod(x2, y2))) % P;
}

// x3 = (x1·y2 + y1·x2)/(1 + d·x1·x2·y1·y2), y3 = (y1·y2 + x1·x2)/(1 − d·x1·x2·y1·y2).
Affine ref_add(Affine a, Affine b) {
    const u64 t = mulmod(D, mulmod(mulmod(a.x, b.x), mulmod(a.y, b.y)));
    const u64 x = mulmod((mulmod(a.x, b.y) + mulmod(a.y, b.x)) % P, invmod((1 + t) % P));
    const u64 y = mulmod((mulmod(a.y, b.y) + mulmod(a.x, b.x)) % P, invmod((1 + P - t) % P));
    return {x, y};
}

// Every point, and every multiple of every point by repeated addition.
struct Group {
    std::vector<Affine> points;
    std::map<Affine, std::size_t> index;
    std::vector<std::vector<Affine>> multiples;  // multiples[i][k] = k·points[i], k = 0..N

    Group() {
        for (u64 x = 0; x < P; ++x)
            for (u64 y = 0; y < P; ++y)
                if (on_curve(x, y)) {
                    index[{x, y}] = points.size();
                    points.push_back({x, y});
                }
        for (const Affine& p : points) {
            std::vector<Affine> m{{0, 1}};
            for (u64 k = 1; k <= N; ++k) m.push_back(ref_add(m.back(), p));
            multiples.push_back(std::move(m));
        }
    }

    // The least k > 0 with k·P neutral.
    u64 order(std::size_t i) const {
        for (u64 k = 1;; ++k)
            if (multiples[i][k] == Affine{0, 1}) return k;
    }
};

const Group& group() {
    static const Group g;
    return g;
}

// ---- between the two sides ----------------------------------------------------

u64 value(const Fp& a) {
    const Repr r = a.into_repr();
    EXPECT_EQ(r[1] | r[2] | r[3], 0u);
    return r[0];
}

// Also checks the extended coordinate T (X·Y = T·Z), which only later
// additions would read.
Affine affine(const ToyPoint& p) {
    EXPECT_EQ(p.x() * p.y(), p.t() * p.z());
    const auto [x, y] = p.to_xy_var();
    return {value(x), value(y)};
}

ToyPoint point(const Affine& a) { return edwards::from_xy<ToyCurve>(Fp::from_u64(a.x), Fp::from_u64(a.y), CURVE).value(); }

// The same point with Z ≠ 1 (in general): the arithmetic must not depend on
// the representation.
ToyPoint projective(const Affine& a) { return point(a).mul_var({N + 1, 0, 0, 0}, CURVE); }

// ---- the tests -------------------------------------------------------------

TEST(ToyFieldExhaustive, ArithmeticInversionAndRoots) {
    for (u64 a = 0; a < P; ++a) {
        const Fp fa = Fp::from_u64(a);
        EXPECT_EQ(value(-fa), neg(a));
        EXPECT_EQ(value(fa.square()), mulmod(a, a));
        for (u64 b = 0; b < P; ++b) {
            const Fp fb = Fp::from_u64(b);
            ASSERT_EQ(value(fa + fb), (a + b) % P);
            ASSERT_EQ(value(fa - fb), (a + P - b) % P);
            ASSERT_EQ(value(fa * fb), mulmod(a, b));
        }
        const auto [inverse, nonzero] = fa.invert();
        const auto inv_var = fa.inverse_var();
        EXPECT_EQ(nonzero, a != 0 ? 1u : 0u);
        EXPECT_EQ(inv_var.has_value(), a != 0);
        if (a != 0) {
            EXPECT_EQ(value(inverse), invmod(a));
            EXPECT_EQ(value(*inv_var), invmod(a));
        }

        bool square = false;
        for (u64 r = 0; r < P; ++r) square = square || mulmod(r, r) == a;
        const auto symbol = field::legendre_var(fa);
        const auto root = field::sqrt_var(fa);
        EXPECT_EQ(symbol, a == 0 ? field::Legendre::Zero
                          : square ? field::Legendre::QuadraticResidue
                                   : field::Legendre::QuadraticNonResidue)
            << a;
        ASSERT_EQ(root.has_value(), square) << a;
        if (root) {
            EXPECT_EQ(mulmod(value(*root), value(*root)), a);
        }
    }
    // Integers beyond p reduce, and only canonical ones decode.
    for (u64 k = 0; k < 4 * P; ++k) {
        EXPECT_EQ(value(Fp::from_raw({k, 0, 0, 0})), k % P);
        EXPECT_EQ(Fp::from_repr({k, 0, 0, 0}).ok(), k < P);
    }
    const u64 two64_mod_p = (~u64{0} % P + 1) % P;
    EXPECT_EQ(value(Fp::from_raw({5, 1, 0, 0})), (two64_mod_p + 5) % P);
}

TEST(ToyCurveExhaustive, GroupShape) {
    const Group& g = group();
    ASSERT_EQ(g.points.size(), N);
    std::map<u64, std::size_t> by_order;
    for (std::size_t i = 0; i < N; ++i) ++by_order[g.order(i)];
    // Cyclic of order 8·13: φ(k) elements of each order k dividing 104.
    EXPECT_EQ(by_order, (std::map<u64, std::size_t>{
                            {1, 1}, {2, 1}, {4, 2}, {8, 4}, {13, 12}, {26, 12}, {52, 24}, {104, 48}}));
    // from_xy accepts exactly the points of the curve.
    for (u64 x = 0; x < P; ++x)
        for (u64 y = 0; y < P; ++y)
            ASSERT_EQ(edwards::from_xy<ToyCurve>(Fp::from_u64(x), Fp::from_u64(y), CURVE).has_value(), on_curve(x, y));
}

TEST(ToyCurveExhaustive, AdditionDoublingNegation) {
    const Group& g = group();
    for (std::size_t i = 0; i < N; ++i) {
        const Affine a = g.points[i];
        const ToyPoint p = projective(a);
        ASSERT_EQ(affine(p), a);
        EXPECT_EQ(affine(p.dbl()), ref_add(a, a));
        EXPECT_EQ(affine(p.negate()), (Affine{neg(a.x), a.y}));
        EXPECT_EQ(p.add(p.negate(), CURVE), ToyPoint::zero());
        EXPECT_EQ(affine(p.mul_by_cofactor()), g.multiples[i][8]);
        // The three affine conversions agree.
        const auto [x, y] = p.to_xy();
        EXPECT_EQ((Affine{value(x), value(y)}), a);
        EXPECT_EQ(p.to_affine().z(), Fp::one());
        EXPECT_EQ(affine(p.to_affine()), a);
        for (std::size_t j = 0; j < N; ++j) {
            const Affine b = g.points[j];
            const ToyPoint sum = p.add(projective(b), CURVE);
            ASSERT_EQ(affine(sum), ref_add(a, b)) << i << " + " << j;
            // Equality is that of the affine points, whatever the Z.
            ASSERT_EQ(p == point(b), i == j);
        }
    }
}

TEST(ToyCurveExhaustive, EncodingRoundTripsAndRejections) {
    const Group& g = group();
    for (const Affine& a : g.points) {
        const Bytes bytes = projective(a).write();
        Bytes expected{};
        expected[0] = static_cast<std::uint8_t>(a.y);
        if (a.x & 1) expected[31] = 0x80;
        ASSERT_EQ(bytes, expected);
        EXPECT_EQ(edwards::write_xy(Fp::from_u64(a.x), Fp::from_u64(a.y)), expected);
        EXPECT_EQ(affine(edwards::read_var<ToyCurve>(bytes, CURVE).value()), a);
    }
    // Every y below 256 with either sign: a point exactly when the curve has
    // one with that y and x of that parity (x = 0 takes either sign).
    for (u64 y = 0; y < 256; ++y) {
        for (const bool sign : {false, true}) {
            Bytes bytes{};
            bytes[0] = static_cast<std::uint8_t>(y);
            if (sign) bytes[31] = 0x80;
            const auto decoded = edwards::read_var<ToyCurve>(bytes, CURVE);
            std::vector<Affine> candidates;
            for (const Affine& a : g.points)
                if (a.y == y && (a.x == 0 || ((a.x & 1) != 0) == sign)) candidates.push_back(a);
            if (y >= P) {
                ASSERT_FALSE(decoded.ok());
                EXPECT_EQ(decoded.error().message, "y is not in field");
            } else if (candidates.empty()) {
                ASSERT_FALSE(decoded.ok()) << y;
                EXPECT_EQ(decoded.error().message, "not on curve");
            } else {
                ASSERT_EQ(candidates.size(), 1u);
                ASSERT_TRUE(decoded.ok()) << y;
                EXPECT_EQ(affine(decoded.value()), candidates[0]);
            }
        }
    }
    Bytes top{};
    top.fill(0xff);
    EXPECT_EQ(edwards::read_var<ToyCurve>(top, CURVE).error().message, "y is not in field");
    EXPECT_EQ(edwards::read_var<ToyCurve>(std::span(top).first(31), CURVE).error().message,
              "failed to fill whole buffer");
}

TEST(ToyCurveExhaustive, EveryScalarMultiplication) {
    const Group& g = group();
    for (std::size_t i = 0; i < N; ++i) {
        const ToyPoint p = projective(g.points[i]);
        // Public scalars: every integer up to the group order.
        for (u64 k = 0; k <= N; ++k) ASSERT_EQ(affine(p.mul_var({k, 0, 0, 0}, CURVE)), g.multiples[i][k]) << k;
        // Secret scalars: every element of the scalar field, as its integer.
        for (u64 k = 0; k < L; ++k) ASSERT_EQ(affine(p.mul(Fl::from_u64(k), CURVE)), g.multiples[i][k]) << k;
        // Wide public scalars use every limb and every digit of the recoding:
        // N·P is neutral, so k·P = (k mod N)·P.
        for (const Repr& k : {Repr{~u64{0}, ~u64{0}, ~u64{0}, ~u64{0}}, Repr{3, 0, 0, u64{1} << 63},
                              Repr{0x0123456789abcdef, 0xfedcba9876543210, 0x5555555555555555, 0xaaaaaaaaaaaaaaaa}}) {
            u64 k_mod_n = 0;
            for (int limb = 3; limb >= 0; --limb)
                k_mod_n = static_cast<u64>(((static_cast<field::u128>(k_mod_n) << 64) | k[limb]) % N);
            ASSERT_EQ(affine(p.mul_var(k, CURVE)), g.multiples[i][k_mod_n]);
        }
    }
}

TEST(ToyCurveExhaustive, FixedBaseTableForEveryScalarAndGenerator) {
    const Group& g = group();
    std::size_t generators = 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (g.order(i) != L) continue;
        ++generators;
        // 8·P runs over the generators as P does.
        const ToyPrimeOrderPoint base = projective(g.points[i]).mul_by_cofactor();
        const std::size_t b = g.index.at(affine(base));
        const edwards::CurveFixedBaseTable<ToyCurve> table(base, CURVE);
        static_assert(edwards::CurveFixedBaseTable<ToyCurve>::WINDOWS == 2);
        for (u64 k = 0; k < L; ++k) ASSERT_EQ(affine(table.mul(Fl::from_u64(k))), g.multiples[b][k]) << k;
    }
    EXPECT_EQ(generators, L - 1);
}

TEST(ToyCurveExhaustive, SubgroupMembershipByOrderCheck) {
    const Group& g = group();
    std::size_t members = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const ToyPoint p = projective(g.points[i]);
        const bool in_subgroup = L % g.order(i) == 0;
        members += in_subgroup;
        // The order check of verification: l·P neutral exactly in the subgroup.
        EXPECT_EQ(p.mul_var(ToyScalarParams::MODULUS, CURVE) == ToyPoint::zero(), in_subgroup) << i;
        // The cofactor multiple always lands in it.
        EXPECT_EQ(ToyPoint(p.mul_by_cofactor()).mul_var(ToyScalarParams::MODULUS, CURVE), ToyPoint::zero());
    }
    EXPECT_EQ(members, L);
}

}  // namespace
}  // namespace lumora::curve
