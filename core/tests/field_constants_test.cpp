#include <gtest/gtest.h>

#include "seeded_rng.h"

#include "field/constants.h"
#include "field/fr.h"
#include "field/fs.h"

namespace lumora::field {
namespace {

using lumora::testing::rng;

Limbs random_limbs() { return {rng()(), rng()(), rng()(), rng()()}; }

// A random value below p (the top limb taken below p's top limb).
Limbs random_below(const Limbs& p) {
    Limbs a = random_limbs();
    a[3] %= p[3];
    return a;
}

Limbs pow2(unsigned k) {
    Limbs r{};
    r[k / 64] = u64{1} << (k % 64);
    return r;
}

// x in Montgomery form back to the integer.
Limbs from_mont(const Limbs& x, const Limbs& p) { return derive::mont_mul(x, derive::ONE, p); }

// Native arithmetic modulo a one-limb prime, to check the 256-bit helpers against.
u64 mul_mod64(u64 a, u64 b, u64 p) { return static_cast<u64>(static_cast<u128>(a) * b % p); }
u64 pow_mod64(u64 a, u64 e, u64 p) {
    u64 acc = 1 % p;
    for (; e != 0; e >>= 1, a = mul_mod64(a, a, p)) {
        if (e & 1) acc = mul_mod64(acc, a, p);
    }
    return acc;
}

TEST(FieldConstants, KnownValues) {
    EXPECT_EQ(FrParams::R2, (Limbs{0x1bb8e645ae216da7, 0x53fe3ab1e35c59e3, 0x8c49833d53bb8085, 0x0216d0b17f4e44a5}));
    EXPECT_EQ(FsParams::R2, (Limbs{0x35e44abee7ecb21e, 0x74646cacf5f84ec4, 0xe472df203faa158f, 0x0445b524f1ba50a8}));
    EXPECT_EQ(derive::two_adicity(FrParams::MODULUS), 28u);
    EXPECT_EQ(derive::two_adicity(FsParams::MODULUS), 4u);
}

// Modulo a Mersenne prime 2^n − 1, 2^k ≡ 2^(k mod n): known answers for R,
// R² and R³ with one and two limbs of modulus.
TEST(FieldConstants, PowersOfTwoModMersennePrimes) {
    for (unsigned n : {61u, 89u, 127u}) {
        const Limbs p = derive::sub(pow2(n), derive::ONE);
        EXPECT_EQ(derive::r_mod(p), pow2(256 % n)) << n;
        EXPECT_EQ(derive::r2_mod(p), pow2(512 % n)) << n;
        EXPECT_EQ(derive::two_adicity(p), 1u) << n;  // p − 1 = 2·(2^(n−1) − 1)
    }
}

// Small primes, where every quantity can be recomputed natively: p − 1 =
// 2^S·t, Euler's criterion, the order of the root of unity, −p⁻¹ mod 2^64.
TEST(FieldConstants, DerivationsForSmallPrimes) {
    for (u64 q : {u64{17}, u64{97}, u64{65537}, (u64{1} << 61) - 1, ~u64{0} - 58}) {
        const Limbs p = {q, 0, 0, 0};
        SCOPED_TRACE(q);
        const unsigned s = derive::two_adicity(p);
        const u64 t = derive::odd_part(p)[0];
        EXPECT_EQ(t % 2, 1u);
        EXPECT_EQ(t << s, q - 1);
        EXPECT_EQ(derive::legendre_exponent(p)[0], (q - 1) / 2);
        EXPECT_EQ(derive::odd_part_minus_1_over_2(p)[0], (t - 1) / 2);
        EXPECT_EQ(q * derive::neg_inv64(q), ~u64{0});

        for (u64 g = 2; g < 40 && g < q; ++g) {
            const bool non_residue = pow_mod64(g, (q - 1) / 2, q) == q - 1;
            EXPECT_EQ(derive::is_non_residue(g, p), non_residue) << g;
            if (!non_residue) continue;
            const u64 root = from_mont(derive::root_of_unity(g, p), p)[0];
            EXPECT_EQ(root, pow_mod64(g, t, q));
            EXPECT_EQ(pow_mod64(root, u64{1} << (s - 1), q), q - 1) << g;  // order exactly 2^S
        }
    }
}

// The constant-evaluation arithmetic agrees with the field's run-time kernels.
template <class P>
void expect_agreement_with_kernels() {
    using F = Element<P>;
    const Limbs& p = P::MODULUS;
    for (int i = 0; i < 100; ++i) {
        const Limbs a = random_below(p), b = random_below(p), e = random_limbs();
        const F fa = F::from_mont(a), fb = F::from_mont(b);
        EXPECT_EQ(derive::mont_mul(a, b, p), (fa * fb).mont());
        EXPECT_EQ(derive::add_mod(a, b, p), (fa + fb).mont());
        EXPECT_EQ(derive::mul_mod(a, b, p), (F::from_raw(a) * F::from_raw(b)).into_repr());
        EXPECT_EQ(derive::mont_pow(a, e, p), fa.pow_var(e).mont());
    }
    EXPECT_EQ(derive::add_mod(derive::minus(p, 1), derive::minus(p, 1), p), derive::minus(p, 2));
    EXPECT_EQ(derive::mul_mod(derive::minus(p, 1), derive::minus(p, 1), p), derive::ONE);
}

TEST(FieldConstants, AgreeWithFieldKernels) {
    expect_agreement_with_kernels<FrParams>();
    expect_agreement_with_kernels<FsParams>();
}

TEST(FieldConstants, LimbHelpers) {
    const Limbs all_ones = {~u64{0}, ~u64{0}, ~u64{0}, ~u64{0}};
    u64 flag = 0;
    EXPECT_EQ(derive::add(all_ones, derive::ONE, &flag), derive::ZERO);
    EXPECT_EQ(flag, 1u);
    EXPECT_EQ(derive::sub(derive::ZERO, derive::ONE, &flag), all_ones);
    EXPECT_EQ(flag, 1u);
    EXPECT_EQ(derive::sub(pow2(200), derive::ONE, &flag)[2], ~u64{0});
    EXPECT_EQ(flag, 0u);
    EXPECT_FALSE(derive::geq(pow2(64), all_ones));
    EXPECT_TRUE(derive::geq(pow2(192), {~u64{0}, ~u64{0}, ~u64{0}, 0}));
    for (unsigned k = 0; k < 256; k += 7) EXPECT_EQ(derive::trailing_zeros(pow2(k)), k);

    for (int i = 0; i < 20; ++i) {
        const Limbs x = random_limbs();
        EXPECT_EQ(derive::shr(x, 0), x);
        for (unsigned n : {1u, 28u, 63u, 64u, 65u, 128u, 200u, 255u}) {
            const Limbs y = derive::shr(x, n);
            for (unsigned j = 0; j < 256; ++j) {
                EXPECT_EQ(derive::bit(y, j), j + n < 256 && derive::bit(x, j + n)) << n << " " << j;
            }
        }
    }
}

}  // namespace
}  // namespace lumora::field
