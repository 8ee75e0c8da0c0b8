// The kernels chosen for the build target against the portable forms, and
// the square root against the textbook Tonelli–Shanks.
#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <cstdio>
#include <random>
#include <tuple>
#include <vector>

#include "field/fr.h"
#include "field/fs.h"

namespace lumora::field {
namespace {

using lumora::testing::rng;

Limbs random_limbs() { return {rng()(), rng()(), rng()(), rng()()}; }

// Canonical values that stress carries and the final subtraction, then
// random ones; `below_modulus` keeps them under p.
template <class P>
std::vector<Limbs> operands(bool below_modulus) {
    Limbs p_minus_1 = P::MODULUS, p_minus_2 = P::MODULUS;
    p_minus_1[0] -= 1;
    p_minus_2[0] -= 2;
    std::vector<Limbs> v = {{0, 0, 0, 0}, {1, 0, 0, 0}, p_minus_1, p_minus_2, P::R, P::R2,
                            {~0ULL, 0, 0, 0}, {0, 0, 0, P::MODULUS[3] - 1}};
    if (!below_modulus) {
        v.push_back(P::MODULUS);
        v.push_back({~0ULL, ~0ULL, ~0ULL, ~0ULL});
    }
    for (int i = 0; i < 300; ++i) {
        Limbs r = random_limbs();
        if (below_modulus) r = Element<P>::from_raw(r).mont();
        v.push_back(r);
    }
    return v;
}

template <class P>
void check_kernels_agree() {
    const auto any = operands<P>(false);
    const auto reduced = operands<P>(true);
    for (std::size_t i = 0; i < reduced.size(); ++i) {
        const Limbs& b = reduced[i];
        const Limbs& a_any = any[(i * 7) % any.size()];
        const Limbs& a = reduced[(i * 13 + 5) % reduced.size()];
        // Multiplication accepts any 256-bit left operand (from_raw relies on it).
        EXPECT_EQ(detail::mont_mul<P>(a_any, b), detail::mont_mul_portable<P>(a_any, b));
        EXPECT_EQ(detail::mont_mul<P>(a, a), detail::mont_mul_portable<P>(a, a));
#if defined(__x86_64__) && !defined(LUMORA_PORTABLE_FIELD)
        // The baseline x86-64 form, which builds without BMI2/ADX use.
        EXPECT_EQ(x86_64::mont_mul<P>(a_any, b), detail::mont_mul_portable<P>(a_any, b));
#endif
        EXPECT_EQ(detail::add<P>(a, b), detail::add_portable<P>(a, b));
        EXPECT_EQ(detail::sub<P>(a, b), detail::sub_portable<P>(a, b));
        EXPECT_EQ(detail::sub<P>(b, a), detail::sub_portable<P>(b, a));
    }
}

TEST(FieldKernels, AgreeWithPortableForms) {
    check_kernels_agree<FrParams>();
    check_kernels_agree<FsParams>();
}

TEST(FieldKernels, DotProductStepAgreesWithPortableForm) {
    // On targets without a dedicated form this compares the portable form with itself.
    const u64 max = ~0ULL;
    std::vector<std::array<u64, 5>> cases = {{max, max, 0, max, max}, {max, max, max - 1, max, max}, {0, 0, 0, 0, 0}};
    for (int i = 0; i < 1000; ++i) cases.push_back({rng()(), rng()(), rng()() >> 8, rng()(), rng()()});
    for (const auto& [c0, c1, c2, x, y] : cases) {
        u64 a0 = c0, a1 = c1, a2 = c2, b0 = c0, b1 = c1, b2 = c2;
        detail::mul_acc(a0, a1, a2, x, y);
        detail::mul_acc_portable(b0, b1, b2, x, y);
        EXPECT_EQ(std::tie(a0, a1, a2), std::tie(b0, b1, b2));
    }
}

// Legendre symbol first, then a^((t+1)/2) and a^t by separate exponentiations.
std::optional<Fr> textbook_sqrt(const Fr& a) {
    switch (legendre_var(a)) {
        case Legendre::Zero: return a;
        case Legendre::QuadraticNonResidue: return std::nullopt;
        case Legendre::QuadraticResidue: break;
    }
    const Repr t = {0x9b9709143e1f593f, 0x181585d2833e8487, 0x131a029b85045b68, 0x000000030644e72e};
    const Repr t_plus_1_over_2 = {0xcdcb848a1f0faca0, 0x0c0ac2e9419f4243, 0x098d014dc2822db4, 0x0000000183227397};
    Fr c = Fr::from_mont({0x9632c7c5b639feb8, 0x985ce3400d0ff299, 0xb2dd880001b0ecd8, 0x1d69070d6d98ce29});
    Fr x = a.pow_var(t_plus_1_over_2);
    Fr b = a.pow_var(t);
    unsigned m = 28;
    while (b != Fr::one()) {
        unsigned i = 1;
        for (Fr b2 = b.square(); b2 != Fr::one(); b2 = b2.square()) ++i;
        for (unsigned j = 0; j + i + 1 < m; ++j) c = c.square();
        x *= c;
        c = c.square();
        b *= c;
        m = i;
    }
    return x;
}

TEST(FieldKernels, SquareRootIsTheTextbookRoot) {
    std::vector<Fr> inputs;
    for (unsigned v = 0; v < 40; ++v) inputs.push_back(Fr::from_u64(v));
    inputs.push_back(-Fr::one());
    for (int i = 0; i < 60; ++i) {
        const Fr a = Fr::from_raw(random_limbs());
        inputs.push_back(a);
        inputs.push_back(a.square());
        // Elements of high 2-power order exercise the loop's deepest rounds.
        inputs.push_back(a.pow_var({0x9b9709143e1f593f, 0x181585d2833e8487, 0x131a029b85045b68, 0x30644e72e}));
    }
    int roots = 0;
    for (const Fr& a : inputs) {
        const auto fast = sqrt_var(a);
        const auto reference = textbook_sqrt(a);
        ASSERT_EQ(fast.has_value(), reference.has_value()) << a.to_hex();
        if (!fast) continue;
        ++roots;
        EXPECT_EQ(*fast, *reference) << a.to_hex();
        EXPECT_EQ(fast->square(), a);
    }
    EXPECT_GT(roots, 60);
}

}  // namespace
}  // namespace lumora::field
