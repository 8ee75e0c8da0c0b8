#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <cstdio>
#include <random>
#include <vector>

#include "curve/multiples.h"
#include "eddsa/eddsa.h"
#include "eddsa/nonce.h"
#include "sdk/signing.h"

namespace lumora::eddsa {
namespace {

using curve::SIGNING_GENERATOR;
using field::Fr;
using field::Repr;
using Message = std::vector<std::uint8_t>;

using lumora::testing::rng;

const AltJubjubBn256& params() { return curve::jubjub_params(); }
Fs random_scalar() { return Fs::from_raw({rng()(), rng()(), rng()(), rng()()}); }
Message random_message(std::size_t n = 32) {
    Message m(n);
    for (auto& b : m) b = static_cast<std::uint8_t>(rng()());
    return m;
}

struct Signed {
    Fs sk;
    UnknownPoint pk;
    Message message;
    Signature signature;
};

Signed make_signature(const Fs& sk, const Message& message) {
    const Fs r = deterministic_seed(sk, message);
    return {sk, public_key(sk, SIGNING_GENERATOR, params()), message,
            sign_raw_message(sk, message, r, SIGNING_GENERATOR, params())};
}

bool verifies(const UnknownPoint& pk, const Message& m, const Signature& s) {
    return verify_for_raw_message(pk, m, s, SIGNING_GENERATOR, params());
}

UnknownPoint order_two() { return *curve::edwards::from_xy(Fr::zero(), -Fr::one(), params()); }

TEST(EdDSA, SignsDeterministicallyAndVerifies) {
    for (int i = 0; i < 8; ++i) {
        const Signed a = make_signature(random_scalar(), random_message());
        const Signed b = make_signature(a.sk, a.message);
        EXPECT_EQ(a.signature.r, b.signature.r);
        EXPECT_EQ(a.signature.s, b.signature.s);
        EXPECT_TRUE(verifies(a.pk, a.message, a.signature));
        const Signed other = make_signature(a.sk, random_message());
        EXPECT_FALSE(other.signature.r == a.signature.r);
    }
}

TEST(EdDSA, RejectsAlteredParts) {
    const Signed a = make_signature(random_scalar(), random_message());
    Message altered = a.message;
    altered[5] ^= 0x10;
    EXPECT_FALSE(verifies(a.pk, altered, a.signature));
    EXPECT_FALSE(verifies(a.pk, a.message, Signature{a.signature.r, a.signature.s + Fs::one()}));
    EXPECT_FALSE(verifies(public_key(random_scalar(), SIGNING_GENERATOR, params()), a.message, a.signature));
    // A key or an R outside the prime-order subgroup: the small-order part
    // would cancel in the equation once multiplied by 8, but the order checks
    // refuse it.
    EXPECT_FALSE(verifies(a.pk.add(order_two(), params()), a.message, a.signature));
    EXPECT_FALSE(verifies(a.pk, a.message, Signature{a.signature.r.add(order_two(), params()), a.signature.s}));
    EXPECT_FALSE(verifies(a.pk, a.message, Signature{order_two(), a.signature.s}));
}

// The plain verification, each part computed by double-and-add over all 256
// bits: pk and R both of prime order, and s·G = R + c·pk.
UnknownPoint double_and_add(const UnknownPoint& base, const field::Repr& k) {
    UnknownPoint acc;
    for (int i = 255; i >= 0; --i) {
        acc = acc.dbl();
        if ((k[i / 64] >> (i % 64)) & 1) acc = acc.add(base, params());
    }
    return acc;
}

bool plain_verifies(const UnknownPoint& pk, const Message& m, const Signature& sig) {
    const auto l = field::fs_char();
    if (double_and_add(pk, l) != UnknownPoint::zero() || double_and_add(sig.r, l) != UnknownPoint::zero())
        return false;
    const UnknownPoint g = params().generator(SIGNING_GENERATOR);
    return double_and_add(g, sig.s.into_repr()) ==
           double_and_add(pk, message_scalar(m).into_repr()).add(sig.r, params());
}

// The eight points of order dividing 8: multiples of l·P for a P whose
// small-order component has order 8.
std::vector<UnknownPoint> small_order_points() {
    for (;;) {
        std::array<std::uint8_t, 32> b;
        for (auto& x : b) x = static_cast<std::uint8_t>(rng()());
        b[31] &= 0x1f;
        const auto p = curve::edwards::read_var(b, params());
        if (!p.ok()) continue;
        const UnknownPoint t = double_and_add(p.value(), field::fs_char());
        if (t.dbl().dbl() == UnknownPoint::zero()) continue;
        std::vector<UnknownPoint> all = {UnknownPoint::zero()};
        for (int k = 1; k < 8; ++k) all.push_back(all.back().add(t, params()));
        return all;
    }
}

// Verification skips R's order check (the equation implies it once pk's
// holds): the answer must still be that of the plain checks, including keys
// and nonce points with small-order components arranged so that the
// equation itself still holds.
TEST(EdDSA, VerificationAgreesWithPlainChecks) {
    const auto torsion = small_order_points();
    int accepted = 0, cases = 0;
    for (int round = 0; round < 3; ++round) {
        Message m = random_message();
        m[0] = static_cast<std::uint8_t>(round * 2);  // c even or not, so c·T may vanish for T of order 2
        const Signed a = make_signature(random_scalar(), m);
        const Fs c = message_scalar(m);
        for (const auto& t_pk : torsion) {
            const UnknownPoint pk = a.pk.add(t_pk, params());
            // R chosen to keep the equation: R − c·T_pk.
            const UnknownPoint compensated = a.signature.r.add(double_and_add(t_pk, c.into_repr()).negate(), params());
            for (const auto& t_r : torsion) {
                for (const UnknownPoint& r : {a.signature.r.add(t_r, params()), compensated.add(t_r, params())}) {
                    const Signature sig{r, a.signature.s};
                    const bool expected = plain_verifies(pk, m, sig);
                    EXPECT_EQ(verifies(pk, m, sig), expected);
                    accepted += expected;
                    ++cases;
                }
            }
        }
    }
    // Only the untouched signatures (T_pk = T_R = 0, both R forms) pass.
    EXPECT_EQ(accepted, 3 * 2);
    EXPECT_EQ(cases, 3 * 8 * 8 * 2);
}

// The lattice check against the plain one (with the neutral key refused) on
// many signatures: valid ones, and each way to spoil one (s, c, R, the key,
// the neutral key, s = 0, c = 0, small-order components on R or the key).
TEST(EdDSA, ShortScalarCheckAgreesWithPlainCheck) {
    const auto torsion = small_order_points();
    int accepted = 0, cases = 0;
    auto check = [&](const UnknownPoint& pk, const Message& m, const Signature& sig) {
        const bool expected = pk != UnknownPoint::zero() && plain_verifies(pk, m, sig);
        EXPECT_EQ(verifies(pk, m, sig), expected) << cases;
        accepted += expected;
        ++cases;
    };
    for (int round = 0; round < 24; ++round) {
        const Message m = round == 0 ? Message(32, 0) : random_message();  // c = 0 first
        const Signed a = make_signature(random_scalar(), m);
        const Signature& sig = a.signature;
        check(a.pk, m, sig);
        check(a.pk, m, Signature{sig.r, sig.s + Fs::one()});
        check(a.pk, m, Signature{sig.r, random_scalar()});
        check(a.pk, m, Signature{sig.r, Fs::zero()});
        Message other = m;
        other[static_cast<std::size_t>(round) % 32] ^= 0x01;
        check(a.pk, other, sig);
        check(a.pk, m, Signature{public_key(random_scalar(), SIGNING_GENERATOR, params()), sig.s});
        check(public_key(random_scalar(), SIGNING_GENERATOR, params()), m, sig);
        check(UnknownPoint::zero(), m, sig);
        const std::size_t k = 1 + static_cast<std::size_t>(round) % 7;
        check(a.pk, m, Signature{sig.r.add(torsion[k], params()), sig.s});
        check(a.pk.add(torsion[k], params()), m, sig);
    }
    // s = 0 with R = −c·pk is a valid signature.
    const Signed b = make_signature(random_scalar(), random_message());
    const UnknownPoint minus_c_pk = double_and_add(b.pk, message_scalar(b.message).into_repr()).negate();
    check(b.pk, b.message, Signature{minus_c_pk, Fs::zero()});
    // c = 0: R = s·G verifies under any key of prime order.
    const Message zero(32, 0);
    const UnknownPoint s_g = params().mul_signing_generator(Fs::from_u64(5));
    check(b.pk, zero, Signature{s_g, Fs::from_u64(5)});
    // The valid ones, another key with c = 0, and the two made above.
    EXPECT_EQ(accepted, 24 + 1 + 2);
}

// The challenge's multiplier must be odd: an even one would cancel the point
// of order 2 added to R. Messages are drawn until some of them have an even
// first multiplier (the split then takes the row before, whose remainder is
// 2^126 or more, or the row after).
TEST(EdDSA, PointOfOrderTwoOnRIsRefusedForEveryChallenge) {
    const Fs sk = random_scalar();
    const UnknownPoint pk = public_key(sk, SIGNING_GENERATOR, params());
    const Repr bound = {0, 1ULL << (curve::SIGNING_SPLIT_BITS - 64), 0, 0};
    int long_remainders = 0;
    for (int i = 0; i < 160; ++i) {
        const Message m = random_message();
        const Signed a = make_signature(sk, m);
        ASSERT_TRUE(verifies(pk, m, a.signature));
        EXPECT_FALSE(verifies(pk, m, Signature{a.signature.r.add(order_two(), params()), a.signature.s})) << i;
        const auto split = curve::split_challenge_var(message_scalar(m));
        long_remainders += !std::lexicographical_compare(split.v.rbegin(), split.v.rend(), bound.rbegin(), bound.rend());
    }
    EXPECT_GT(long_remainders, 0);
}

// The signer's own check is a real check against its inputs.
TEST(EdDSA, OwnCheckRefusesSpoiltParts) {
    for (int i = 0; i < 8; ++i) {
        const Fs sk = random_scalar();
        const Message m = random_message();
        const PrimeOrderPoint pk = public_key(sk, SIGNING_GENERATOR, params());
        const OwnSignature sig = sign_raw_message(sk, m, deterministic_seed(sk, m), SIGNING_GENERATOR, params());
        EXPECT_TRUE(verify_own_signature(pk, m, sig, SIGNING_GENERATOR, params()));
        EXPECT_FALSE(verify_own_signature(pk, m, OwnSignature{sig.r, sig.s + Fs::one()}, SIGNING_GENERATOR, params()));
        const PrimeOrderPoint g = params().generator(SIGNING_GENERATOR);
        EXPECT_FALSE(verify_own_signature(pk, m, OwnSignature{sig.r.add(g, params()), sig.s}, SIGNING_GENERATOR,
                                          params()));
        EXPECT_FALSE(verify_own_signature(pk.add(g, params()), m, sig, SIGNING_GENERATOR, params()));
        EXPECT_FALSE(verify_own_signature(pk.dbl(), m, sig, SIGNING_GENERATOR, params()));
    }
}

// Key and signature made together (one shared inversion) are those made
// apart, affine coordinates included, for random keys, key zero and nonces.
TEST(EdDSA, KeyAndSignatureTogetherMatchApart) {
    for (int i = 0; i < 12; ++i) {
        const Fs sk = i == 0 ? Fs::zero() : random_scalar();
        const Fs r = i == 1 ? Fs::one() : random_scalar();
        const Message m = random_message(static_cast<std::size_t>(i) * 3 % 33);
        const KeyAndSignature both = sign_raw_message_with_key(sk, m, r, SIGNING_GENERATOR, params());
        const PrimeOrderPoint pk = public_key(sk, SIGNING_GENERATOR, params());
        const OwnSignature sig = sign_raw_message(sk, m, r, SIGNING_GENERATOR, params());
        EXPECT_EQ(both.pk.to_xy_var(), pk.to_xy_var());
        EXPECT_EQ(both.signature.r.to_xy_var(), sig.r.to_xy_var());
        EXPECT_EQ(both.pk.z(), Fr::one());
        EXPECT_EQ(both.signature.r.z(), Fr::one());
        EXPECT_EQ(both.signature.s, sig.s);
    }
}

TEST(EdDSA, MessageLengthsAndReduction) {
    const Fs sk = random_scalar();
    // Short messages are zero-padded: signing "ab" equals signing "ab" and 30 zeros.
    const Signed short_message = make_signature(sk, Message{0xab, 0xcd});
    Message padded(32, 0);
    padded[0] = 0xab;
    padded[1] = 0xcd;
    EXPECT_TRUE(verifies(short_message.pk, padded, short_message.signature));
    // Verification keeps only the first 32 bytes of a longer message.
    const Signed full = make_signature(sk, random_message());
    Message longer = full.message;
    longer.push_back(0x77);
    EXPECT_TRUE(verifies(full.pk, longer, full.signature));
    // Messages that differ by l reduce to the same scalar.
    const Message zero(32, 0);
    const auto l_bytes = integers::to_bytes_le(field::fs_char());
    const Signed by_zero = make_signature(sk, zero);
    EXPECT_TRUE(verifies(by_zero.pk, Message(l_bytes.begin(), l_bytes.end()), by_zero.signature));
    // Messages longer than 32 bytes are outside the signer's domain.
    EXPECT_THROW(sign_raw_message(sk, Message(33, 1), Fs::one(), SIGNING_GENERATOR, params()), Abort);
}

// Key 0 still derives the neutral point and still signs (s = r, and the
// signer's own check passes), but the neutral point as a public key verifies
// nothing: with c·pk gone, one R = s·G would pass for every message.
TEST(EdDSA, ZeroKeySignsButTheNeutralKeyVerifiesNothing) {
    const Message m = random_message();
    const Signed a = make_signature(Fs::zero(), m);
    EXPECT_EQ(a.pk, UnknownPoint::zero());
    EXPECT_EQ(a.signature.s, deterministic_seed(Fs::zero(), m));
    const OwnSignature own = sign_raw_message(Fs::zero(), m, a.signature.s, SIGNING_GENERATOR, params());
    EXPECT_TRUE(verify_own_signature(public_key(Fs::zero(), SIGNING_GENERATOR, params()), m, own,
                                     SIGNING_GENERATOR, params()));
    EXPECT_FALSE(verifies(a.pk, m, a.signature));
    EXPECT_FALSE(verifies(a.pk, random_message(), a.signature));
    // The same neutral key spelt with a non-canonical Z is refused as well.
    EXPECT_FALSE(verifies(a.pk.add(UnknownPoint::zero(), params()), m, a.signature));
}

TEST(EdDSA, OtherGeneratorsSignAndVerify) {
    const Fs sk = random_scalar();
    const Message m = random_message();
    for (std::size_t index = 0; index < curve::FIXED_GENERATOR_COUNT; ++index) {
        const auto sig = sign_raw_message(sk, m, Fs::from_u64(99), index, params());
        const UnknownPoint pk = public_key(sk, index, params());
        EXPECT_TRUE(verify_for_raw_message(pk, m, sig, index, params())) << index;
        EXPECT_EQ(verify_for_raw_message(pk, m, sig, (index + 1) % curve::FIXED_GENERATOR_COUNT, params()),
                  false);
    }
}

TEST(SignatureTexts, SignatureJsonAndRoundTrip) {
    const Fs sk = random_scalar();
    const auto bytes = random_message();
    const auto tx = sdk::TxSignature::sign_msg(sk, bytes);
    const auto js = sdk::JubjubSignature::from_tx_signature(tx);
    const std::string json = js.to_json();
    ASSERT_EQ(json.size(), std::string("{\"r\":\"\",\"s\":\"\"}").size() + 132);
    EXPECT_EQ(json.substr(0, 8), "{\"r\":\"0x");
    // The packed R's top bit is the parity of R's x.
    const std::string r_text = json.substr(6, 66);
    const std::string s_text = json.substr(79, 66);
    const auto r = integers::U256::from_str(r_text).value();
    EXPECT_EQ(r.limbs[3] >> 63, js.r.x.limbs[0] & 1);
    // Reading the texts back gives the same signature.
    const auto back = sdk::JubjubSignature::from_str(r_text, s_text);
    EXPECT_EQ(back.r.x, js.r.x);
    EXPECT_EQ(back.r.y, js.r.y);
    EXPECT_EQ(back.s, js.s);
    // s = l is rejected when the signature is unpacked for verification.
    auto at_l = back;
    at_l.s = integers::U256(field::fs_char());
    EXPECT_THROW(sdk::to_packed_signature(at_l), Abort);
}

}  // namespace
}  // namespace lumora::eddsa
