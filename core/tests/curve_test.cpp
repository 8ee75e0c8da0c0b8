#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <cstdio>
#include <random>
#include <vector>

#include "curve/alt_jubjub.h"
#include "curve/multiples.h"

namespace lumora::curve {
namespace {

using edwards::PrimeOrder;
using edwards::Unknown;
using field::Fr;
using field::Fs;
using field::Repr;
using Bytes = std::array<std::uint8_t, 32>;
using Point = edwards::Point<Unknown>;

using lumora::testing::rng;

const AltJubjubBn256& params() { return jubjub_params(); }

Fr fr(std::uint64_t v) { return Fr::from_u64(v); }
Fs random_scalar() { return Fs::from_raw({rng()(), rng()(), rng()(), rng()()}); }

// A point of the whole group (not necessarily of prime order): decode
// random bytes until they are a point.
Point random_point() {
    for (;;) {
        Bytes b;
        for (auto& x : b) x = static_cast<std::uint8_t>(rng()());
        b[31] &= 0x9f;  // y below 2^253 < p, any sign
        auto p = edwards::read_var(b, params());
        if (p.ok()) return p.value();
    }
}

// The reference: double-and-add over all 256 bits, most significant first.
template <class K>
edwards::Point<K> double_and_add(const edwards::Point<K>& base, const Repr& k) {
    edwards::Point<K> acc;
    for (int i = 255; i >= 0; --i) {
        acc = acc.dbl();
        if ((k[i / 64] >> (i % 64)) & 1) acc = acc.add(base, params());
    }
    return acc;
}

bool t_consistent(const Point& p) { return p.x() * p.y() == p.t() * p.z(); }

Point order_two() { return *edwards::from_xy(Fr::zero(), -Fr::one(), params()); }

TEST(CurveConstants, RelationsHold) {
    const auto& c = params();
    EXPECT_EQ(c.edwards_d() * fr(168700), -fr(168696));
    EXPECT_EQ(c.montgomery_2a(), fr(337396));
    const Fr minus_one_minus_d = -Fr::one() - c.edwards_d();
    EXPECT_EQ(c.montgomery_a() * minus_one_minus_d, (c.edwards_d() - Fr::one()).dbl());
    EXPECT_EQ(c.montgomery_scale().square(), -(c.montgomery_a() + fr(2)));
    EXPECT_EQ(c.montgomery_scale().square() * minus_one_minus_d, fr(4));
    // d is a non-square and −1 a square: the addition law is complete.
    EXPECT_EQ(field::legendre_var(c.edwards_d()), field::Legendre::QuadraticNonResidue);
    EXPECT_EQ(field::legendre_var(-Fr::one()), field::Legendre::QuadraticResidue);
}

TEST(PointEncoding, NeutralAndOrderTwoPoints) {
    const Bytes neutral = Point::zero().write();
    EXPECT_EQ(neutral[0], 1);
    for (std::size_t i = 1; i < 32; ++i) EXPECT_EQ(neutral[i], 0);
    const auto decoded = edwards::read_var(neutral, params());
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value().x(), Fr::zero());
    EXPECT_EQ(decoded.value().y(), Fr::one());
    EXPECT_EQ(decoded.value().t(), Fr::zero());
    EXPECT_EQ(decoded.value().z(), Fr::one());

    // y = 1 with the sign bit set: x = 0 cannot be negated, still the neutral point.
    Bytes signed_neutral = neutral;
    signed_neutral[31] |= 0x80;
    EXPECT_EQ(edwards::read_var(signed_neutral, params()).value(), Point::zero());

    const Bytes expected = {0x00, 0x00, 0x00, 0xf0, 0x93, 0xf5, 0xe1, 0x43, 0x91, 0x70, 0xb9, 0x79, 0x48, 0xe8, 0x33, 0x28,
                            0x5d, 0x58, 0x81, 0x81, 0xb6, 0x45, 0x50, 0xb8, 0x29, 0xa0, 0x31, 0xe1, 0x72, 0x4e, 0x64, 0x30};
    EXPECT_EQ(order_two().write(), expected);
    EXPECT_EQ(edwards::read_var(expected, params()).value(), order_two());
    EXPECT_EQ(order_two().dbl(), Point::zero());

    // 32 zero bytes: y = 0, x² = −1 has a root because p ≡ 1 (mod 4).
    const auto y_zero = edwards::read_var(Bytes{}, params());
    ASSERT_TRUE(y_zero.ok());
    const auto [x, y] = y_zero.value().to_xy();
    EXPECT_EQ(y, Fr::zero());
    EXPECT_EQ(x.square(), -Fr::one());
    EXPECT_EQ(x.into_repr()[0] & 1, 0u);
}

TEST(PointEncoding, DecodingFailures) {
    struct Case {
        Repr y;  // low 255 bits of the encoding (bit 255 is tried both ways)
        const char* message;
        const char* debug;
    };
    Repr p = field::FrParams::MODULUS;
    const Case cases[] = {
        {p, "y is not in field", "Custom { kind: InvalidInput, error: \"y is not in field\" }"},
        {{~0ULL, ~0ULL, ~0ULL, ~0ULL >> 1}, "y is not in field", "Custom { kind: InvalidInput, error: \"y is not in field\" }"},
        // (y² − 1)/(d·y² + 1) is not a square for y = 2^160.
        {{0, 0, 1ULL << 32, 0}, "not on curve", "Custom { kind: InvalidInput, error: \"not on curve\" }"},
    };
    for (const auto& c : cases) {
        for (std::uint64_t sign : {0ULL, 1ULL << 63}) {
            Repr y = c.y;
            y[3] |= sign;
            const auto r = edwards::read_var(integers::to_bytes_le(y), params());
            ASSERT_FALSE(r.ok()) << c.message;
            EXPECT_EQ(r.error().message, c.message);
            EXPECT_EQ(edwards::read_error_debug(r.error()), c.debug);
        }
    }
    const std::uint8_t short_input[31] = {1};
    const auto r = edwards::read_var(short_input, params());
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "failed to fill whole buffer");
    EXPECT_EQ(edwards::read_error_debug(r.error()),
              "Error { kind: UnexpectedEof, message: \"failed to fill whole buffer\" }");

    // p − 1 is the largest y accepted; bytes after the first 32 are not read.
    Repr p_minus_1 = p;
    p_minus_1[0] -= 1;
    std::vector<std::uint8_t> longer(40, 0xee);
    const auto enc = integers::to_bytes_le(p_minus_1);
    std::copy(enc.begin(), enc.end(), longer.begin());
    EXPECT_EQ(edwards::read_var(longer, params()).value(), order_two());
}

TEST(PointEncoding, RoundTrips) {
    for (int i = 0; i < 100; ++i) {
        const Point p = random_point();
        const Bytes b = p.write();
        const auto q = edwards::read_var(b, params());
        ASSERT_TRUE(q.ok());
        EXPECT_EQ(q.value(), p);
        EXPECT_EQ(q.value().write(), b);
        const auto [x, y] = p.to_xy();
        EXPECT_EQ(p.to_xy_var(), std::make_pair(x, y));
        EXPECT_EQ(b[31] >> 7, x.into_repr()[0] & 1);
        // The other sign bit decodes the negative point.
        Bytes flipped = b;
        flipped[31] ^= 0x80;
        EXPECT_EQ(edwards::read_var(flipped, params()).value(), p.negate());
    }
}

TEST(PointEncoding, FromXy) {
    EXPECT_EQ(edwards::from_xy(Fr::zero(), Fr::one(), params()), Point::zero());
    EXPECT_EQ(edwards::from_xy(Fr::zero(), -Fr::one(), params()), order_two());
    EXPECT_FALSE(edwards::from_xy(Fr::one(), Fr::one(), params()));
    for (int i = 0; i < 20; ++i) {
        const auto [x, y] = random_point().to_xy();
        EXPECT_TRUE(edwards::from_xy(x, y, params()));
        EXPECT_FALSE(edwards::from_xy(x + Fr::one(), y, params()));
    }
}

TEST(PointArithmetic, GroupLawOnRandomPoints) {
    const Point zero = Point::zero();
    for (int i = 0; i < 50; ++i) {
        const Point a = random_point(), b = random_point(), c = random_point();
        EXPECT_EQ(a.add(b, params()).add(c, params()), a.add(b.add(c, params()), params()));
        EXPECT_EQ(a.add(b, params()), b.add(a, params()));
        EXPECT_EQ(a.add(a.negate(), params()), zero);
        EXPECT_EQ(a.dbl(), a.add(a, params()));
        // The sum with the neutral point has other coordinates, the same point.
        const Point same = a.add(zero, params());
        EXPECT_NE(same.z(), a.z());
        EXPECT_EQ(same, a);
        EXPECT_NE(a.add(order_two(), params()), a);
        for (const Point& p : {a.add(b, params()), a.dbl(), a.mul(random_scalar(), params())})
            EXPECT_TRUE(t_consistent(p));
    }
}

TEST(ScalarMultiplication, MethodsAgreeWithDoubleAndAdd) {
    Repr l_minus_1 = field::fs_char();
    l_minus_1[0] -= 1;
    std::vector<Repr> scalars = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 0}, {7, 0, 0, 0}, {8, 0, 0, 0}, {9, 0, 0, 0},
                                 {16, 0, 0, 0}, l_minus_1,
                                 // digit patterns at the edges of the signed recoding
                                 {0x8888888888888888, 0x8888888888888888, 0x8888888888888888, 0x0088888888888888},
                                 {0x7777777777777777, 0x7777777777777777, 0x7777777777777777, 0x0577777777777777},
                                 {0xffffffffffffffff, 0xffffffffffffffff, 0xffffffffffffffff, 0x0000ffffffffffff}};
    for (int i = 0; i < 20; ++i) scalars.push_back(random_scalar().into_repr());
    const auto g5 = params().generator(SIGNING_GENERATOR);
    for (const Repr& k : scalars) {
        const auto fs = Fs::from_repr(k);
        ASSERT_TRUE(fs.ok());
        const Point p = random_point();
        const Point expected = double_and_add(p, k);
        EXPECT_EQ(p.mul(fs.value(), params()), expected);
        EXPECT_EQ(p.mul_var(k, params()), expected);
        const auto expected_g = double_and_add(g5, k);
        EXPECT_EQ(params().mul_signing_generator(fs.value()), expected_g);
        EXPECT_EQ(g5.mul(fs.value(), params()), expected_g);
    }
    // mul_var takes any 256-bit integer.
    const Point p = random_point();
    for (const Repr& k : {Repr{~0ULL, ~0ULL, ~0ULL, ~0ULL}, Repr{0, 0, 0, 1ULL << 63}, field::fs_char(),
                          Repr{0x677297dc392126f1, 0xab3eedb83920ee0a, 0x370a08b6d0302b0b, 0x3064e72e1c263405}})
        EXPECT_EQ(p.mul_var(k, params()), double_and_add(p, k));
}

TEST(ScalarMultiplication, OrdersAndCofactor) {
    for (int i = 0; i < 10; ++i) {
        const Point p = random_point();
        const auto q = p.mul_by_cofactor();
        EXPECT_EQ(q, p.mul_var({8, 0, 0, 0}, params()));
        EXPECT_EQ(q.mul_var(field::fs_char(), params()), Point::zero());
        EXPECT_EQ(p.mul(Fs::zero(), params()), Point::zero());
        EXPECT_EQ(p.mul_var({0, 0, 0, 0}, params()), Point::zero());
        // (l + 1)·q = q for q in the subgroup.
        Repr l_plus_1 = field::fs_char();
        l_plus_1[0] += 1;
        EXPECT_EQ(q.mul_var(l_plus_1, params()), q);
    }
    // The point of order two stays out of the subgroup.
    EXPECT_NE(order_two().mul_var(field::fs_char(), params()), Point::zero());
    EXPECT_EQ(order_two().mul_by_cofactor(), Point::zero());
}


// T8 from the parameter set and its multiples: the eight points of order
// dividing 8, k·T8 at index k.
std::vector<Point> eight_torsion() {
    const auto t8 = edwards::from_xy(params().order_eight_x(), params().order_eight_y(), params());
    EXPECT_TRUE(t8.has_value());
    std::vector<Point> all = {Point::zero()};
    for (int k = 1; k < 8; ++k) all.push_back(all.back().add(*t8, params()));
    return all;
}

TEST(SubgroupMembership, TorsionGeneratorHasOrderEight) {
    const auto t = eight_torsion();
    EXPECT_EQ(t[4], order_two());
    EXPECT_EQ(t[7].add(t[1], params()), Point::zero());
    for (int k = 1; k < 8; ++k) EXPECT_NE(t[static_cast<std::size_t>(k)], Point::zero()) << k;
}

// The pairing test against l·P = O: subgroup points (affine and projective)
// plus every point of the 8-torsion, and random points of the whole group.
TEST(SubgroupMembership, AgreesWithMultiplicationByOrder) {
    const auto torsion = eight_torsion();
    std::vector<Point> subgroup = {Point::zero(), params().generator(SIGNING_GENERATOR)};
    for (int i = 0; i < 6; ++i) {
        const Point q = random_point().mul_by_cofactor();
        subgroup.push_back(q);
        subgroup.push_back(q.to_affine());
    }
    for (const Point& q : subgroup) {
        for (std::size_t k = 0; k < torsion.size(); ++k) {
            const Point p = q.add(torsion[k], params());
            EXPECT_EQ(in_subgroup_var(p, params()), k == 0) << k;
            EXPECT_EQ(in_subgroup_var(p.to_affine(), params()), k == 0) << k;
            EXPECT_EQ(in_subgroup_var(p.negate(), params()), k == 0) << k;
        }
    }
    int inside = 0;
    for (int i = 0; i < 64; ++i) {
        const Point p = random_point();
        const bool expected = p.mul_var(field::fs_char(), params()) == Point::zero();
        EXPECT_EQ(in_subgroup_var(p, params()), expected) << i;
        inside += expected;
    }
    // One point in eight on average: both answers were seen.
    EXPECT_GT(inside, 0);
    EXPECT_LT(inside, 64);
}

// u·c ≡ v (mod l) with u odd, 0 < u < l and both short, for challenges at
// the edges of the split and random ones.
TEST(ChallengeSplit, ShortOddMultiple) {
    const Repr l = field::fs_char();
    std::vector<Repr> challenges = {Repr{},
                                    Repr{1, 0, 0, 0},
                                    Repr{2, 0, 0, 0},
                                    Repr{~0ULL, 0x3fffffffffffffff, 0, 0},
                                    Repr{0, 0x4000000000000000, 0, 0},
                                    Repr{0, 0x8000000000000000, 0, 0},
                                    Repr{0, 0, 0, 1},
                                    Repr{l[0] - 1, l[1], l[2], l[3]},
                                    Repr{l[0] - 2, l[1], l[2], l[3]}};
    for (int i = 0; i < 200; ++i) challenges.push_back(random_scalar().into_repr());
    // Every split is valid; those of random challenges are short (126 bits
    // on average for the longer of u and v; edge cases such as 2^126 may
    // need longer ones).
    unsigned random_bits = 0;
    for (std::size_t i = 0; i < challenges.size(); ++i) {
        const Fs c = Fs::from_repr(challenges[i]).value();
        const ChallengeSplit split = split_challenge_var(c);
        EXPECT_EQ(split.u[0] & 1, 1u) << i;
        const auto u = Fs::from_repr(split.u), v = Fs::from_repr(split.v);
        ASSERT_TRUE(u.ok() && v.ok()) << i;
        EXPECT_FALSE(u.value().is_zero()) << i;
        EXPECT_EQ(u.value() * c, split.v_negative ? -v.value() : v.value()) << i;
        unsigned bits = 0;
        for (const Repr& part : {split.u, split.v})
            for (unsigned b = 0; b < 256; ++b)
                if ((part[b / 64] >> (b % 64)) & 1) bits = std::max(bits, b + 1);
        if (i < 9) EXPECT_LE(bits, 128u) << i;
        else random_bits += bits;
    }
    EXPECT_LE(random_bits, 128u * 200);
}

}  // namespace
}  // namespace lumora::curve
