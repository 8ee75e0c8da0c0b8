#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <random>
#include <utility>
#include <vector>

#include "field/fr.h"
#include "field/fs.h"

namespace lumora::field {
namespace {

const Repr R_MODULUS = FrParams::MODULUS;
const Repr L_MODULUS = FsParams::MODULUS;

using lumora::testing::rng;
using safegcd::i128;
using safegcd::i64;

template <class F>
F random_element() {
    return F::from_raw({rng()(), rng()(), rng()(), rng()()});
}

Repr minus_one(Repr r) {
    r[0] -= 1;  // neither modulus ends in a zero limb
    return r;
}

TEST(Fr, DecimalParsing) {
    EXPECT_FALSE(fr_from_str(""));
    EXPECT_EQ(fr_from_str("0"), Fr::zero());
    for (const char* bad : {"00", "01", "0x1", "-1", "+1", " 1", "1 ", "1a", "\xc3\xa9"}) EXPECT_FALSE(fr_from_str(bad)) << bad;
    EXPECT_EQ(fr_from_str("168698"), Fr::from_u64(168698));
    EXPECT_EQ(fr_from_str("21888242871839275222246405745257275088548364400416034343698204186575808495617"), Fr::zero());
    EXPECT_EQ(fr_from_str("21888242871839275222246405745257275088548364400416034343698204186575808495618"), Fr::one());
}

TEST(Fr, ReprConversions) {
    const auto rejected = Fr::from_repr(R_MODULUS);
    ASSERT_FALSE(rejected.ok());
    EXPECT_EQ(rejected.error().message,
              "0x30644e72e131a029b85045b68181585d2833e84879b9709143e1f593f0000001 is not an element of the field");
    EXPECT_EQ(not_in_field_debug(R_MODULUS),
              "NotInField(\"0x30644e72e131a029b85045b68181585d2833e84879b9709143e1f593f0000001\")");
    EXPECT_EQ(Fr::from_repr(minus_one(R_MODULUS)).value(), -Fr::one());

    const auto one_bytes = Fr::one().to_bytes_le();
    EXPECT_EQ(one_bytes[0], 1);
    for (std::size_t i = 1; i < 32; ++i) EXPECT_EQ(one_bytes[i], 0);
    EXPECT_EQ(Fr::one().to_hex(), "0x0000000000000000000000000000000000000000000000000000000000000001");
    EXPECT_EQ(Fr::one().mont(), FrParams::R);

    EXPECT_EQ(Fr::from_raw({~0ULL, ~0ULL, ~0ULL, ~0ULL}).to_hex(),
              "0x0e0a77c19a07df2f666ea36f7879462e36fc76959f60cd29ac96341c4ffffffa");

    for (int i = 0; i < 200; ++i) {
        const Fr a = random_element<Fr>();
        EXPECT_EQ(Fr::from_repr(a.into_repr()).value(), a);
        EXPECT_EQ(Fr::from_repr(integers::from_bytes_le(a.to_bytes_le())).value(), a);
        EXPECT_EQ(integers::from_bytes_be(integers::to_bytes_be(a.into_repr())), a.into_repr());
    }
}

TEST(Fr, ArithmeticIdentities) {
    EXPECT_EQ(-Fr::zero(), Fr::zero());
    EXPECT_EQ((-Fr::one()).dbl(), -Fr::from_u64(2));
    for (int i = 0; i < 300; ++i) {
        const Fr a = random_element<Fr>(), b = random_element<Fr>(), c = random_element<Fr>();
        EXPECT_EQ(a * (b + c), a * b + a * c);
        EXPECT_EQ((a - b) + b, a);
        EXPECT_EQ(a.square(), a * a);
        EXPECT_EQ(a.dbl(), a + a);
        EXPECT_EQ(a + -a, Fr::zero());
        EXPECT_EQ(a.ct_eq(a), 1u);
        EXPECT_EQ(a.ct_eq(a + Fr::one()), 0u);
    }
}

template <class F, std::size_t N>
void expect_sum_of_products_matches(const std::array<F, N>& a, const std::array<F, N>& b) {
    F expected = F::zero();
    for (std::size_t i = 0; i < N; ++i) expected += a[i] * b[i];
    EXPECT_EQ(F::sum_of_products(a, b), expected);
}

TEST(Fr, SumOfProductsReducesOnce) {
    // The largest sums: every term (p − 1)².
    std::array<Fr, 10> top;
    top.fill(-Fr::one());
    expect_sum_of_products_matches(top, top);
    std::array<Fs, 9> top_s;
    top_s.fill(-Fs::one());
    expect_sum_of_products_matches(top_s, top_s);
    for (int i = 0; i < 200; ++i) {
        std::array<Fr, 9> a, b;
        for (std::size_t j = 0; j < 9; ++j) {
            a[j] = random_element<Fr>();
            b[j] = j % 3 == 0 ? -Fr::one() : random_element<Fr>();
        }
        expect_sum_of_products_matches(a, b);
        expect_sum_of_products_matches(std::array<Fr, 1>{a[0]}, std::array<Fr, 1>{b[0]});
        std::array<Fs, 8> c, d;
        for (std::size_t j = 0; j < 8; ++j) {
            c[j] = random_element<Fs>();
            d[j] = random_element<Fs>();
        }
        expect_sum_of_products_matches(c, d);
    }
}

// Parameter sets beside the curve's fields, for the inversion's handling of
// the modulus: one and two words (the divsteps' zero limbs of p, and
// p⁻¹ ≡ −1 mod 2^62), and the largest size the engine takes, 2^254 − 245.
constexpr Limbs PRIME_2_61_MINUS_1 = {(1ULL << 61) - 1, 0, 0, 0};
constexpr Limbs PRIME_2_127_MINUS_1 = {~0ULL, (1ULL << 63) - 1, 0, 0};
constexpr Limbs PRIME_2_254_MINUS_245 = {~0ULL - 244, ~0ULL, ~0ULL, (1ULL << 62) - 1};
struct OneWordParams : MontgomeryParams<PRIME_2_61_MINUS_1> {};
struct TwoWordParams : MontgomeryParams<PRIME_2_127_MINUS_1> {};
struct WidestParams : MontgomeryParams<PRIME_2_254_MINUS_245> {};

// Montgomery limbs (what the inversion works on) at the edges of its words
// and of the modulus: 1, 2, p − 1, p − 2, R, R², and 2^k − 1, 2^k, p − 2^k
// for every k that keeps them in [1, p); then small integers and their
// negatives, whose limbs are multiples of R.
template <class F>
std::vector<F> inversion_edge_values() {
    const Limbs& p = F::Params::MODULUS;
    std::vector<Limbs> limbs = {derive::ONE, {2, 0, 0, 0}, derive::minus(p, 1), derive::minus(p, 2), F::Params::R,
                                F::Params::R2};
    for (unsigned k = 1; k < 256; ++k) {
        Limbs two_k{};
        two_k[k / 64] = 1ULL << (k % 64);
        if (derive::geq(two_k, p)) break;
        limbs.push_back(two_k);
        limbs.push_back(derive::sub(two_k, derive::ONE));
        limbs.push_back(derive::sub(p, two_k));
    }
    std::vector<F> values;
    for (const Limbs& l : limbs) values.push_back(F::from_mont(l));
    for (u64 v = 1; v <= 40; ++v) {
        values.push_back(F::from_u64(v));
        values.push_back(-F::from_u64(v));
    }
    return values;
}

// Both inversions against Fermat's a^(p − 2), on the edge values and random
// ones; zero has no inverse, and the constant-time form flags it.
template <class F>
void expect_inversions_agree_with_fermat() {
    EXPECT_FALSE(F::zero().inverse_var());
    const auto [z, z_ok] = F::zero().invert();
    EXPECT_EQ(z, F::zero());
    EXPECT_EQ(z_ok, 0u);
    const Repr fermat_exponent = derive::minus(F::Params::MODULUS, 2);
    std::vector<F> values = inversion_edge_values<F>();
    for (int i = 0; i < 200; ++i) values.push_back(random_element<F>());
    for (const F& a : values) {
        const F fermat = a.pow_var(fermat_exponent);
        ASSERT_EQ(fermat * a, F::one()) << a.to_hex();
        const auto inv = a.inverse_var();
        ASSERT_TRUE(inv) << a.to_hex();
        EXPECT_EQ(*inv, fermat) << a.to_hex();
        EXPECT_EQ(a.invert(), std::make_pair(fermat, u64{1})) << a.to_hex();
    }
}

TEST(Fr, Inversion) { expect_inversions_agree_with_fermat<Fr>(); }
TEST(Fs, Inversion) { expect_inversions_agree_with_fermat<Fs>(); }
TEST(OtherModuli, Inversion) {
    expect_inversions_agree_with_fermat<Element<OneWordParams>>();
    expect_inversions_agree_with_fermat<Element<TwoWordParams>>();
    expect_inversions_agree_with_fermat<Element<WidestParams>>();
}

// Word pairs for the batches of divsteps: f odd, both below 2^62 in
// magnitude, of either sign; g sometimes zero or with a long run of zeros.
std::pair<i128, i128> random_batch_words() {
    const i64 f = (static_cast<i64>(rng()()) >> 2) | 1;
    i64 g = static_cast<i64>(rng()()) >> 2;
    switch (rng()() % 8) {
        case 0: g = 0; break;
        case 1: g = static_cast<i64>(static_cast<u64>(g) << (rng()() % 62)) >> 2; break;
        case 2: g = f; break;
        default: break;
    }
    return {f, g};
}

// The matrix of a batch maps the words it was given to 2^62 times the words
// it leaves, with f odd, and its rows are within 2^62, which the wide update
// relies on.
void expect_batch_matrix_holds(const safegcd::Transition& t, i128 f, i128 g, i128 f_after, i128 g_after) {
    const i128 two_62 = i128{1} << 62;
    const auto magnitude = [](i64 x) { return x < 0 ? -i128{x} : i128{x}; };
    EXPECT_EQ(t.u * f + t.v * g, two_62 * f_after);
    EXPECT_EQ(t.q * f + t.r * g, two_62 * g_after);
    EXPECT_LE(magnitude(t.u) + magnitude(t.v), two_62);
    EXPECT_LE(magnitude(t.q) + magnitude(t.r), two_62);
}

// The constant-time batch is exactly 59 half-delta divsteps, the form whose
// worst case fixes the number of batches: its matrix and ζ against the steps
// written out on whole integers.
TEST(Divsteps, ConstantTimeBatchFollowsTheHalfDeltaSteps) {
    for (int i = 0; i < 3000; ++i) {
        auto [f, g] = random_batch_words();
        const i128 f0 = f, g0 = g;
        const i64 zeta0 = i < 100 ? -1 : static_cast<i64>(rng()() % 1200) - 600;
        i64 two_delta = -2 * zeta0 - 1;  // ζ = −(δ + 1/2)
        for (int step = 0; step < 59; ++step) {
            if (two_delta > 0 && (g & 1)) {
                two_delta = 2 - two_delta;
                const i128 old_f = f;
                f = g;
                g = (g - old_f) / 2;
            } else {
                two_delta += 2;
                g = (g & 1) ? (g + f) / 2 : g / 2;
            }
        }
        safegcd::Transition t;
        const i64 zeta = safegcd::divsteps_59(zeta0, static_cast<u64>(f0), static_cast<u64>(g0), t);
        EXPECT_EQ(zeta, -(two_delta + 1) / 2);
        expect_batch_matrix_holds(t, f0, g0, f, g);
    }
}

// The variable-time batch takes its own path through the steps; its matrix
// must still divide exactly by 2^62 and leave f odd.
TEST(Divsteps, VariableTimeBatchMatrixIsExact) {
    const i128 two_62 = i128{1} << 62;
    for (int i = 0; i < 3000; ++i) {
        const auto [f, g] = random_batch_words();
        const i64 eta0 = i < 100 ? -1 : static_cast<i64>(rng()() % 1200) - 600;
        safegcd::Transition t;
        safegcd::divsteps_62_var(eta0, static_cast<u64>(f), static_cast<u64>(g), t);
        const i128 f_scaled = t.u * f + t.v * g, g_scaled = t.q * f + t.r * g;
        ASSERT_EQ(f_scaled % two_62, 0);
        ASSERT_EQ(g_scaled % two_62, 0);
        EXPECT_EQ((f_scaled / two_62) & 1, 1);
        expect_batch_matrix_holds(t, f, g, f_scaled / two_62, g_scaled / two_62);
    }
}

TEST(Fr, SquareRoots) {
    EXPECT_EQ(sqrt_var(Fr::zero()), Fr::zero());
    EXPECT_FALSE(sqrt_var(Fr::from_u64(7)));
    EXPECT_FALSE(sqrt_var(Fr::from_u64(5)));
    EXPECT_EQ(legendre_var(Fr::from_u64(7)), Legendre::QuadraticNonResidue);
    EXPECT_EQ(sqrt_var(Fr::from_u64(4))->square(), Fr::from_u64(4));
    // The root of unity has order exactly 2^28.
    Fr w = Fr::from_mont({0x9632c7c5b639feb8, 0x985ce3400d0ff299, 0xb2dd880001b0ecd8, 0x1d69070d6d98ce29});
    EXPECT_EQ(w, Fr::from_u64(7).pow_var({0x9b9709143e1f593f, 0x181585d2833e8487, 0x131a029b85045b68, 0x30644e72e}));
    for (int i = 0; i < 27; ++i) w = w.square();
    EXPECT_EQ(w, -Fr::one());
    for (int i = 0; i < 50; ++i) {
        const Fr a = random_element<Fr>();
        const auto root = sqrt_var(a.square());
        ASSERT_TRUE(root);
        EXPECT_TRUE(*root == a || *root == -a);
        EXPECT_EQ(legendre_var(a.square()), a.is_zero() ? Legendre::Zero : Legendre::QuadraticResidue);
    }
}

// The root of a quotient agrees with the root of the inverted form up to
// sign, and fails exactly where that does; residues and non-residues both
// come from random u, and the squares of elements of 2-power order reach
// the deepest windows of the logarithm.
TEST(Fr, SquareRootsOfQuotients) {
    EXPECT_FALSE(sqrt_ratio_var(Fr::one(), Fr::zero()));
    EXPECT_FALSE(sqrt_ratio_var(Fr::zero(), Fr::zero()));
    EXPECT_EQ(sqrt_ratio_var(Fr::zero(), Fr::from_u64(3)), Fr::zero());
    EXPECT_FALSE(sqrt_ratio_var(Fr::from_u64(7), Fr::one()));
    EXPECT_FALSE(sqrt_ratio_var(Fr::one(), Fr::from_u64(7)));
    const Repr t = {0x9b9709143e1f593f, 0x181585d2833e8487, 0x131a029b85045b68, 0x30644e72e};
    int residues = 0;
    for (int i = 0; i < 120; ++i) {
        const Fr v = random_element<Fr>();
        Fr u = random_element<Fr>();
        if (i % 3 == 1) u = u.square() * v;
        if (i % 3 == 2) u = u.pow_var(t) * v;
        if (v.is_zero()) continue;
        const auto root = sqrt_ratio_var(u, v);
        const auto reference = sqrt_var(u * *v.inverse_var());
        ASSERT_EQ(root.has_value(), reference.has_value()) << u.to_hex() << " " << v.to_hex();
        if (i % 3 == 1) {
            EXPECT_TRUE(root.has_value()) << "a square times v over v has a root";
        }
        if (!root) continue;
        ++residues;
        EXPECT_EQ(root->square() * v, u);
        EXPECT_TRUE(*root == *reference || *root == -*reference);
    }
    // The 40 quotients made squares, and some of the 80 others (about half
    // are residues; none of them being one has probability 2^-80).
    EXPECT_GT(residues, 40);
}

TEST(Fs, KnownValues) {
    const auto rejected = Fs::from_repr(L_MODULUS);
    ASSERT_FALSE(rejected.ok());
    EXPECT_EQ(rejected.error().message,
              "0x060c89ce5c263405370a08b6d0302b0bab3eedb83920ee0a677297dc392126f1 is not an element of the field");
    EXPECT_TRUE(Fs::from_repr(minus_one(L_MODULUS)).ok());
    EXPECT_EQ(fs_char(), (Repr{0x677297dc392126f1, 0xab3eedb83920ee0a, 0x370a08b6d0302b0b, 0x060c89ce5c263405}));
    EXPECT_EQ(integers::to_hex(Fs::zero().into_repr()), "0x" + std::string(64, '0'));

    // Any 256-bit integer reduced mod l.
    EXPECT_EQ(Fs::from_raw({0, 0, 0, 0}), Fs::zero());
    EXPECT_EQ(Fs::from_raw({1, 0, 0, 0}), Fs::one());
    EXPECT_EQ(Fs::from_raw(L_MODULUS), Fs::zero());
    EXPECT_EQ(Fs::from_raw({~0ULL, ~0ULL, ~0ULL, ~0ULL}).to_hex(),
              "0x01f16424e1bb7724f85a9201d818f015e7acffc6a098f24b073315dea08f9c75");
    const auto be = integers::to_bytes_be(minus_one(L_MODULUS));
    EXPECT_EQ(integers::from_bytes_be(be), minus_one(L_MODULUS));
}

TEST(Fs, ArithmeticIdentities) {
    for (int i = 0; i < 200; ++i) {
        const Fs a = random_element<Fs>(), b = random_element<Fs>();
        EXPECT_EQ(Fs::from_repr(a.into_repr()).value(), a);
        EXPECT_EQ(*a.inverse_var() * a, Fs::one());
        EXPECT_EQ((a * b) * b.inverse_var().value(), a);
    }
}

}  // namespace
}  // namespace lumora::field
