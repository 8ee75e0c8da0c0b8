// The field kernels of every copy, and their portable forms, against slow
// references written the obvious way, and the square root against the
// textbook Tonelli–Shanks. Compiled once per copy (see copy_test.h).
#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <cstdio>
#include <random>
#include <tuple>
#include <vector>

#include "copy_test.h"
#include "field/fr.h"
#include "field/fs.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {
namespace {

using lumora::testing::rng;

Limbs random_limbs() { return {rng()(), rng()(), rng()(), rng()()}; }

// Limbs drawn mostly from the values where carries and borrows go wrong.
Limbs edge_biased_limbs() {
    Limbs r;
    for (u64& limb : r) {
        switch (rng()() % 6) {
            case 0: limb = 0; break;
            case 1: limb = 1; break;
            case 2: limb = ~0ULL; break;
            case 3: limb = ~0ULL - 1; break;
            case 4: limb = 1ULL << 63; break;
            default: limb = rng()(); break;
        }
    }
    return r;
}

// Reduction by repeated subtraction, independent of the kernels under test.
template <class P>
Limbs reduce_slowly(Limbs r) {
    while (detail::geq_var(r, P::MODULUS)) r = detail::sub_nocheck(r, P::MODULUS);
    return r;
}

// a·b·2^-256 mod p the slow way: the full product, then 256 halvings mod p
// (add p when odd, shift right), then one subtraction.
template <class P>
Limbs reference_mont_mul(const Limbs& a, const Limbs& b) {
    std::array<u64, 9> x{};
    for (int i = 0; i < 4; ++i) {
        u64 carry = 0;
        for (int j = 0; j < 4; ++j) {
            const u128 t = static_cast<u128>(a[i]) * b[j] + x[i + j] + carry;
            x[i + j] = static_cast<u64>(t);
            carry = static_cast<u64>(t >> 64);
        }
        x[i + 4] = carry;
    }
    for (int bit = 0; bit < 256; ++bit) {
        if (x[0] & 1) {
            u64 carry = 0;
            for (int i = 0; i < 9; ++i) x[i] = detail::adc(x[i], i < 4 ? P::MODULUS[i] : 0, carry);
        }
        for (int i = 0; i < 8; ++i) x[i] = (x[i] >> 1) | (x[i + 1] << 63);
        x[8] >>= 1;
    }
    EXPECT_EQ(x[4] | x[5] | x[6] | x[7] | x[8], 0u);
    return reduce_slowly<P>({x[0], x[1], x[2], x[3]});
}

template <class P>
Limbs reference_add(const Limbs& a, const Limbs& b) {
    Limbs s;
    u64 carry = 0;
    for (int i = 0; i < 4; ++i) s[i] = detail::adc(a[i], b[i], carry);
    EXPECT_EQ(carry, 0u);  // a, b < p < 2^255
    return reduce_slowly<P>(s);
}

template <class P>
Limbs reference_sub(const Limbs& a, const Limbs& b) {
    if (detail::geq_var(a, b)) return detail::sub_nocheck(a, b);
    return detail::sub_nocheck(P::MODULUS, detail::sub_nocheck(b, a));
}

// Values that stress carries and the final subtraction, then edge-biased and
// uniformly random ones; `below_modulus` keeps them under p.
template <class P>
std::vector<Limbs> operands(bool below_modulus) {
    const Limbs& p = P::MODULUS;
    Limbs p_minus_1 = p, p_minus_2 = p, p_minus_2_64 = p, p_minus_2_128 = p;
    p_minus_1[0] -= 1;
    p_minus_2[0] -= 2;
    p_minus_2_64[1] -= 1;
    p_minus_2_128[2] -= 1;
    std::vector<Limbs> v = {{0, 0, 0, 0}, {1, 0, 0, 0}, p_minus_1, p_minus_2, p_minus_2_64, p_minus_2_128, P::R,
                            P::R2, {~0ULL, 0, 0, 0}, {~0ULL, ~0ULL, ~0ULL, 0}, {~0ULL, ~0ULL, ~0ULL, p[3] - 1},
                            {0, 0, 0, p[3] - 1}, {0, 0, 0, p[3] >> 1}};
    if (!below_modulus) {
        Limbs p_plus_1 = p, two_p_minus_1;
        p_plus_1[0] += 1;
        u64 carry = 0;
        for (int i = 0; i < 4; ++i) two_p_minus_1[i] = detail::adc(p[i], p[i], carry);
        two_p_minus_1[0] -= 1;
        for (const Limbs& l : std::vector<Limbs>{p, p_plus_1, two_p_minus_1, {0, 0, 0, 1ULL << 62},
                                                 {~0ULL, ~0ULL, ~0ULL, (1ULL << 62) - 1}, {0, 0, 0, 1ULL << 63},
                                                 {~0ULL, ~0ULL, ~0ULL, ~0ULL}, {0, 0, 0, ~0ULL}}) {
            v.push_back(l);
        }
    }
    for (int i = 0; i < 400; ++i) {
        Limbs r = i % 2 ? random_limbs() : edge_biased_limbs();
        if (below_modulus) r = reduce_slowly<P>(r);
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
        const Limbs product = reference_mont_mul<P>(a_any, b);
        EXPECT_EQ(detail::mont_mul_portable<P>(a_any, b), product);
        EXPECT_EQ(detail::mont_mul<P>(a_any, b), product);
        EXPECT_EQ(detail::mont_mul_portable<P>(a, a), reference_mont_mul<P>(a, a));
        EXPECT_EQ(detail::mont_mul<P>(a, a), detail::mont_mul_portable<P>(a, a));
        EXPECT_EQ(detail::mont_sqr_separate<P>(a), detail::mont_mul_portable<P>(a, a));
        EXPECT_EQ(detail::mont_sqr_portable<P>(a), detail::mont_mul_portable<P>(a, a));
        EXPECT_EQ(detail::mont_sqr<P>(a), detail::mont_mul_portable<P>(a, a));
        EXPECT_EQ(detail::mont_mul_portable<P>(a, b), detail::mont_mul_portable<P>(b, a));
        EXPECT_EQ(detail::add_portable<P>(a, b), reference_add<P>(a, b));
        EXPECT_EQ(detail::add<P>(a, b), reference_add<P>(a, b));
        // Negation, 0 − b, included: a known zero limb once led the compiler to branch.
        for (const auto& [x, y] : {std::pair{a, b}, std::pair{b, a}, std::pair{a, a}, std::pair{Limbs{}, b}}) {
            EXPECT_EQ(detail::sub_portable<P>(x, y), reference_sub<P>(x, y));
            EXPECT_EQ(detail::sub<P>(x, y), reference_sub<P>(x, y));
        }
    }
}

LUMORA_COPY_TEST(FieldKernels, AgreeWithSlowReferences) {
    LUMORA_SKIP_UNLESS_THE_CPU_RUNS_THIS_COPY();
    check_kernels_agree<FrParams>();
    check_kernels_agree<FsParams>();
}

LUMORA_COPY_TEST(FieldKernels, DotProductStepAddsTheProduct) {
    LUMORA_SKIP_UNLESS_THE_CPU_RUNS_THIS_COPY();
    const u64 max = ~0ULL;
    std::vector<std::array<u64, 5>> cases = {{max, max, 0, max, max}, {max, max, max - 1, max, max},
                                             {0, 0, 0, 0, 0},         {max, 0, 0, 1, 1},
                                             {0, max, 0, 1ULL << 63, 2}, {max, max, 5, 0, max}};
    for (int i = 0; i < 1000; ++i) cases.push_back({rng()(), rng()(), rng()() >> 8, rng()(), rng()()});
    for (int i = 0; i < 1000; ++i) {
        const Limbs e = edge_biased_limbs();
        cases.push_back({e[0], e[1], e[2] >> 1, e[3], rng()()});
    }
    for (const auto& [c0, c1, c2, x, y] : cases) {
        const u128 p = static_cast<u128>(x) * y;
        u64 carry = 0;
        const u64 r0 = detail::adc(c0, static_cast<u64>(p), carry);
        const u64 r1 = detail::adc(c1, static_cast<u64>(p >> 64), carry);
        const u64 r2 = c2 + carry;
        u64 a0 = c0, a1 = c1, a2 = c2, b0 = c0, b1 = c1, b2 = c2;
        detail::mul_acc(a0, a1, a2, x, y);
        detail::mul_acc_portable(b0, b1, b2, x, y);
        EXPECT_EQ(std::tie(a0, a1, a2), std::tie(r0, r1, r2));
        EXPECT_EQ(std::tie(b0, b1, b2), std::tie(r0, r1, r2));
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

LUMORA_COPY_TEST(FieldKernels, SquareRootIsTheTextbookRoot) {
    LUMORA_SKIP_UNLESS_THE_CPU_RUNS_THIS_COPY();
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
    // Powers z^k of the root of unity: their logarithm is k itself, so every
    // window of it is met, both parities, and the edges 0, 1, 2^27 and 2^28 − 1.
    const Fr z = Fr::from_mont({0x9632c7c5b639feb8, 0x985ce3400d0ff299, 0xb2dd880001b0ecd8, 0x1d69070d6d98ce29});
    for (u64 k : {u64{0}, u64{1}, u64{2}, u64{127}, u64{128}, u64{254}, u64{1} << 14, (u64{1} << 21) + 2,
                  u64{1} << 26, u64{1} << 27, (u64{1} << 27) + 2, (u64{1} << 28) - 2, (u64{1} << 28) - 1})
        inputs.push_back(z.pow_var({k, 0, 0, 0}));
    for (int i = 0; i < 40; ++i) inputs.push_back(z.pow_var({random_limbs()[0] % (u64{1} << 28), 0, 0, 0}));
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
    EXPECT_GT(roots, 80);
}

}  // namespace
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
