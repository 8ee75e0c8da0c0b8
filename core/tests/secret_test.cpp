// The wiping helper on live storage, and the branch-free helpers against
// their plain forms on edge-biased inputs.
#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <array>
#include <string>
#include <utility>

#include "common/ct.h"
#include "common/secret.h"
#include "curve/alt_jubjub.h"
#include "eddsa/eddsa.h"
#include "field/fr.h"
#include "field/fs.h"

namespace lumora {
namespace {

using field::Fr;
using field::Fs;
using field::Repr;
using lumora::testing::rng;

bool all_zero(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        if (b[i] != 0) return false;
    return true;
}

TEST(Wipe, ZeroesExactlyTheGivenBytes) {
    std::array<unsigned char, 48> buffer;
    buffer.fill(0xa5);
    wipe_bytes(buffer.data() + 8, 32);
    EXPECT_TRUE(all_zero(buffer.data() + 8, 32));
    for (std::size_t i : {0, 7, 40, 47}) EXPECT_EQ(buffer[i], 0xa5) << i;

    Repr limbs = {~0ull, 1, 2, 3};
    wipe(limbs);
    EXPECT_TRUE(all_zero(&limbs, sizeof limbs));
}

TEST(Wipe, SecretHoldsItsValueAndAMoveWipesTheSource) {
    const Fs value = Fs::from_u64(0x1234567890abcdef);
    Secret<Fs> a(value);
    EXPECT_EQ(*a, value);
    a->operator+=(Fs::one());
    EXPECT_EQ(a.get(), value + Fs::one());

    Secret<Fs> b(std::move(a));
    EXPECT_EQ(*b, value + Fs::one());
    EXPECT_TRUE(all_zero(&a.get(), sizeof(Fs)));  // a is alive: its storage is the moved-from value

    Fs source = value;
    const Secret<Fs> taken(std::move(source));  // e.g. a function's result
    EXPECT_EQ(*taken, value);
    EXPECT_TRUE(all_zero(&source, sizeof source));

    // A Result carries a Secret by moving it: the key reaches the caller once.
    Result<Secret<Fs>> carried(std::move(b));
    EXPECT_TRUE(all_zero(&b.get(), sizeof(Fs)));
    EXPECT_EQ(*carried.value(), value + Fs::one());
}

// a < b by the plain top-down comparison.
bool plain_less(const Repr& a, const Repr& b) {
    for (int i = 3; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i];
    return false;
}

TEST(ConstantTimeCompare, BorrowChainAtTheModulusAndTheEnds) {
    const Repr l = field::FsParams::MODULUS;
    const Repr zero = {0, 0, 0, 0};
    const Repr max = {~0ull, ~0ull, ~0ull, ~0ull};
    Repr l_minus_1 = l, l_plus_1 = l;
    l_minus_1[0] -= 1;
    l_plus_1[0] += 1;
    // Equal top limbs, a lower limb deciding; and a top limb deciding alone.
    Repr low_differs = l, top_differs = zero;
    low_differs[1] += 1;
    top_differs[3] = l[3] + 1;
    const Repr values[] = {zero, max, l, l_minus_1, l_plus_1, low_differs, top_differs, {1, 0, 0, 0}};
    for (const auto& a : values)
        for (const auto& b : values) EXPECT_EQ(field::detail::less_than(a, b), plain_less(a, b) ? 1u : 0u);

    EXPECT_TRUE(Fs::is_below_modulus(l_minus_1));
    EXPECT_FALSE(Fs::is_below_modulus(l));
    EXPECT_FALSE(Fs::is_below_modulus(l_plus_1));
    EXPECT_TRUE(Fs::is_below_modulus(zero));
    EXPECT_FALSE(Fs::is_below_modulus(max));
    EXPECT_FALSE(Fr::is_below_modulus(field::FrParams::MODULUS));

    for (int round = 0; round < 2000; ++round) {
        Repr a = l, b;
        for (auto& limb : b) limb = rng()();
        a[rng()() % 4] = rng()();  // shares most limbs with l
        EXPECT_EQ(field::detail::less_than(a, l), plain_less(a, l) ? 1u : 0u);
        EXPECT_EQ(field::detail::less_than(b, a), plain_less(b, a) ? 1u : 0u);
    }
}

TEST(PublishedPoints, AffineFormOfTheSamePoint) {
    const auto& params = curve::jubjub_params();
    for (const Fs k : {Fs::zero(), Fs::one(), -Fs::one(), Fs::from_raw({rng()(), rng()(), rng()(), rng()()})}) {
        const auto projective = params.mul_signing_generator(k);
        const auto affine = projective.to_affine();
        EXPECT_EQ(affine.z(), Fr::one());
        EXPECT_EQ(affine.x() * affine.y(), affine.t());
        EXPECT_EQ(affine, projective);
        EXPECT_EQ(affine.to_xy_var(), projective.to_xy());

        // What the signer publishes is already in that form.
        const auto pk = eddsa::public_key(k, curve::SIGNING_GENERATOR, params);
        EXPECT_EQ(pk.z(), Fr::one());
        EXPECT_EQ(pk.x(), affine.x());
        const std::array<std::uint8_t, 32> message{7};
        const auto signature = eddsa::sign_raw_message(k, message, Fs::from_u64(5), curve::SIGNING_GENERATOR, params);
        EXPECT_EQ(signature.r.z(), Fr::one());
        EXPECT_EQ(signature.r, params.mul_signing_generator(Fs::from_u64(5)));
    }
}

}  // namespace
}  // namespace lumora
