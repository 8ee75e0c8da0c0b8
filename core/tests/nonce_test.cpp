#include "eddsa/nonce.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hashes/sha256.h"
#include "seeded_rng.h"

namespace lumora::eddsa {
namespace {

using field::Fs;
using field::Repr;

// Expected nonces computed independently with a general-purpose HMAC library.
// The derivation drew 11, 6, 80, 55 and 1 candidates for them, so the retry
// step is covered from none to many times.
struct NonceCase {
    Repr sk;
    std::vector<std::uint8_t> message;
    const char* nonce;
};

std::vector<std::uint8_t> iota32() {
    std::vector<std::uint8_t> m(32);
    for (std::size_t i = 0; i < 32; ++i) m[i] = static_cast<std::uint8_t>(i);
    return m;
}

TEST(DeterministicSeed, KnownAnswers) {
    Repr l_minus_1 = field::fs_char();
    l_minus_1[0] -= 1;
    const NonceCase cases[] = {
        {{0, 0, 0, 0}, {}, "0x01963ce295db39324fed943b579e8017106b2ddf6af4d3e5797a47e7e714389a"},
        {{1, 0, 0, 0}, iota32(), "0x02f2d46df3c82e55f383b55077f7516cb822ab117ca1f7f3b52ad39ec0612530"},
        {l_minus_1, std::vector<std::uint8_t>(32, 0xff),
         "0x0495ed0550cd588ede70d972e7d5610e7b3ba6755246d2c492b2b3f6b7e57ce8"},
        {{123456789, 0, 0, 0}, {'a', 'b', 'c'}, "0x03aab155073a3f018add1a22612d861c50a903252642e06d5cddffe6e6d8975d"},
        // The first candidate is accepted: no retry step.
        {{7, 0, 0, 0}, {105, 0, 0, 0}, "0x0180231bb2554556fc7b70e45e8ef2cba3ab520f9189e37f76b5bf6163e59fc1"},
    };
    for (const auto& c : cases) {
        const Fs sk = Fs::from_repr(c.sk).value();
        EXPECT_EQ(integers::to_hex(deterministic_seed(sk, c.message).into_repr()), c.nonce);
    }
}

TEST(DeterministicSeed, DependsOnKeyAndMessage) {
    const Fs sk = Fs::from_u64(42);
    const std::vector<std::uint8_t> m1(32, 1), m2(32, 2);
    EXPECT_EQ(deterministic_seed(sk, m1), deterministic_seed(sk, m1));
    EXPECT_NE(deterministic_seed(sk, m1), deterministic_seed(sk, m2));
    EXPECT_NE(deterministic_seed(sk, m1), deterministic_seed(Fs::from_u64(43), m1));
}

// The derivation equals its construction spelled out with MACs keyed from
// scratch on the portable form, for random keys and the extreme ones, and
// messages from empty to past one SHA-256 block (where the set-up hashes the
// message apart).
TEST(DeterministicSeed, EqualsTheMacsItStandsFor) {
    using hashes::HmacSha256Key;
    using hashes::SHA256_PORTABLE;
    using hashes::Sha256Digest;
    static constexpr std::uint8_t ZERO[1] = {0}, ONE[1] = {1};
    auto& rng = testing::rng();
    Repr l_minus_1 = field::fs_char();
    l_minus_1[0] -= 1;
    for (int trial = 0; trial < 200; ++trial) {
        const Fs sk = trial == 0   ? Fs::zero()
                      : trial == 1 ? Fs::from_repr(l_minus_1).value()
                                   : Fs::from_raw({rng(), rng(), rng(), rng()});
        std::vector<std::uint8_t> message(trial < 66 ? trial : rng() % 80);
        for (auto& b : message) b = static_cast<std::uint8_t>(rng());

        const Sha256Digest x = integers::to_bytes_be(sk.into_repr());
        const Sha256Digest h1 = hashes::sha256(message);
        Sha256Digest k{}, v, t;
        v.fill(0x01);
        HmacSha256Key(k, SHA256_PORTABLE).mac({v, ZERO, x, h1}, k);
        HmacSha256Key(k, SHA256_PORTABLE).mac(v, v);
        HmacSha256Key(k, SHA256_PORTABLE).mac({v, ONE, x, h1}, k);
        HmacSha256Key(k, SHA256_PORTABLE).mac(v, v);
        for (;;) {
            HmacSha256Key(k, SHA256_PORTABLE).mac(v, t);
            if (Fs::is_below_modulus(integers::from_bytes_be(t))) break;
            HmacSha256Key(k, SHA256_PORTABLE).mac({v, v, ZERO}, k);
        }
        EXPECT_EQ(deterministic_seed(sk, message), Fs::from_raw(integers::from_bytes_be(t)))
            << "trial " << trial << ", message of " << message.size() << " bytes";
    }
}

}  // namespace
}  // namespace lumora::eddsa
