#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "eddsa/eddsa.h"
#include "eddsa/nonce.h"
#include "sdk/signing.h"

namespace lumora::eddsa {
namespace {

using curve::SIGNING_GENERATOR;
using field::Fr;
using Message = std::vector<std::uint8_t>;

std::mt19937_64& rng() {
    static std::mt19937_64 g([] {
        const auto seed = std::random_device{}();
        std::printf("eddsa_test seed %u\n", seed);
        return seed;
    }());
    return g;
}

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
    const auto l_bytes = field::repr_to_bytes_le(field::fs_char());
    const Signed by_zero = make_signature(sk, zero);
    EXPECT_TRUE(verifies(by_zero.pk, Message(l_bytes.begin(), l_bytes.end()), by_zero.signature));
    // Messages longer than 32 bytes are outside the signer's domain.
    EXPECT_THROW(sign_raw_message(sk, Message(33, 1), Fs::one(), SIGNING_GENERATOR, params()), Abort);
}

TEST(EdDSA, ZeroKeySignsWithSEqualToNonce) {
    const Message m = random_message();
    const Signed a = make_signature(Fs::zero(), m);
    EXPECT_EQ(a.pk, UnknownPoint::zero());
    EXPECT_EQ(a.signature.s, deterministic_seed(Fs::zero(), m));
    EXPECT_TRUE(verifies(a.pk, m, a.signature));
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
