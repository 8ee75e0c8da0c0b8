#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/cpu.h"
#include "hashes/sha256.h"
#include "seeded_rng.h"

#include "hash_test_support.h"

namespace lumora::hashes {
namespace {

using namespace test_support;

// RFC 4231 §4.2–4.8. Case 5 is published truncated to 128 bits.
TEST(HmacSha256, Rfc4231TestCases) {
    Bytes key_1_to_25(25);
    for (std::size_t i = 0; i < key_1_to_25.size(); ++i) key_1_to_25[i] = static_cast<std::uint8_t>(i + 1);
    struct Case {
        Bytes key;
        Bytes data;
        const char* mac;
    };
    const Case cases[] = {
        {Bytes(20, 0x0b), ascii("Hi There"), "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {ascii("Jefe"), ascii("what do ya want for nothing?"),
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {Bytes(20, 0xaa), Bytes(50, 0xdd), "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        {key_1_to_25, Bytes(50, 0xcd), "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
        {Bytes(20, 0x0c), ascii("Test With Truncation"), "a3b6167473100ee06e0c796c2955552b"},
        {Bytes(131, 0xaa), ascii("Test Using Larger Than Block-Size Key - Hash Key First"),
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {Bytes(131, 0xaa),
         ascii("This is a test using a larger than block-size key and a larger than block-size data. The key needs to "
               "be hashed before being used by the HMAC algorithm."),
         "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
    };
    for (const Sha256Form* form : runnable_forms()) {
        int number = 1;
        for (const auto& c : cases) {
            const std::size_t shown = std::string_view(c.mac).size() / 2;
            Sha256Digest out;
            HmacSha256Key(c.key, *form).mac(c.data, out);
            EXPECT_EQ(to_hex(std::span(out).first(shown)), c.mac) << form->name << ", case " << number;
            // Incrementally, one byte at a time.
            const HmacSha256Key key(c.key, *form);
            HmacSha256 h(key);
            for (auto b : c.data) h.update(std::span(&b, 1));
            h.finalize(out);
            EXPECT_EQ(to_hex(std::span(out).first(shown)), c.mac) << form->name << ", case " << number << ", bytewise";
            ++number;
        }
    }
    EXPECT_EQ(to_hex(hmac_sha256(ascii("Jefe"), ascii("what do ya want for nothing?"))), cases[1].mac);
}

// A prepared key serves any number of MACs, each equal to the MAC keyed from
// scratch; parts are concatenated; the output may be one of the parts.
TEST(HmacSha256, PreparedKeyPartsAndIncrementalAgree) {
    auto& rng = testing::rng();
    for (int trial = 0; trial < 40; ++trial) {
        const Bytes key = random_bytes(rng() % 150);
        const HmacSha256Key prepared(key);
        HmacSha256 incremental(prepared);
        for (int use = 0; use < 3; ++use) {
            const Bytes data = random_bytes(rng() % 200);
            const Sha256Digest expected = hmac_sha256(key, data);
            const std::size_t cut = data.empty() ? 0 : rng() % data.size();
            const auto head = std::span(data).first(cut), tail = std::span(data).subspan(cut);

            Sha256Digest out;
            prepared.mac({head, tail}, out);
            EXPECT_EQ(out, expected) << "key " << key.size() << " bytes, data " << data.size() << " bytes";

            incremental.update(head);
            incremental.update(tail);
            incremental.finalize(out);  // and starts over under the same key
            EXPECT_EQ(out, expected);
        }
        Sha256Digest v{};
        std::copy_n(random_bytes(32).begin(), 32, v.begin());
        const Sha256Digest expected = hmac_sha256(key, Bytes(v.begin(), v.end()));
        prepared.mac(v, v);
        EXPECT_EQ(v, expected);
    }
}

// Two MACs side by side equal the two computed alone, whatever the number of
// blocks of each; the outputs may be inputs of either MAC.
TEST(HmacSha256, PairEqualsTwoMacs) {
    auto& rng = testing::rng();
    for (const Sha256Form* form : runnable_forms()) {
        for (int trial = 0; trial < 60; ++trial) {
            const HmacSha256Key key(random_bytes(32), *form);
            const Bytes a = random_bytes(rng() % 200), b = random_bytes(rng() % 200);
            const std::size_t cut = b.empty() ? 0 : rng() % b.size();
            Sha256Digest expected_a, expected_b, out_a, out_b;
            key.mac(a, expected_a);
            key.mac(b, expected_b);
            key.mac_pair({a}, out_a, {std::span(b).first(cut), std::span(b).subspan(cut)}, out_b);
            EXPECT_EQ(out_a, expected_a) << form->name << ", " << a.size() << " and " << b.size() << " bytes";
            EXPECT_EQ(out_b, expected_b) << form->name << ", " << a.size() << " and " << b.size() << " bytes";
        }
        // In place, as the nonce derivation uses it: T = MAC(V), V' = MAC(V ‖ V ‖ 0) into V.
        static constexpr std::uint8_t ZERO[1] = {0};
        const HmacSha256Key key(random_bytes(32), *form);
        Sha256Digest v{}, t{}, expected_t, expected_v;
        std::copy_n(random_bytes(32).begin(), 32, v.begin());
        key.mac(v, expected_t);
        key.mac({v, v, ZERO}, expected_v);
        key.mac_pair({v}, t, {v, v, ZERO}, v);
        EXPECT_EQ(t, expected_t) << form->name;
        EXPECT_EQ(v, expected_v) << form->name;
    }
}

// The retry steps of every form equal the two MACs it stands for, computed
// one by one, over a chain of steps where each step's K is the previous
// step's output; and one step pinned to a value computed independently. The
// portable form with its fused step removed builds the step from the MACs.
TEST(HmacSha256, RetryStepEqualsItsTwoMacs) {
    static constexpr std::uint8_t ZERO[1] = {0};
    Sha256Form unfused = SHA256_PORTABLE;
    unfused.name = "portable, step built from its MACs";
    unfused.retry_step = nullptr;
    std::vector<const Sha256Form*> forms = runnable_forms();
    forms.push_back(&unfused);
    for (const Sha256Form* form : forms) {
        for (int trial = 0; trial < 20; ++trial) {
            Sha256Digest v, k, t;
            std::copy_n(random_bytes(32).begin(), 32, v.begin());
            std::copy_n(random_bytes(32).begin(), 32, k.begin());
            const HmacSha256Retry retry(v, *form);
            for (int step = 0; step < 8; ++step) {
                Sha256Digest expected_t, expected_k;
                HmacSha256Key(k, SHA256_PORTABLE).mac(v, expected_t);
                HmacSha256Key(k, SHA256_PORTABLE).mac({v, v, ZERO}, expected_k);
                const Sha256Digest v_before = v;
                retry.step(k, t);
                EXPECT_EQ(t, expected_t) << form->name << ", trial " << trial << ", step " << step;
                EXPECT_EQ(k, expected_k) << form->name << ", trial " << trial << ", step " << step;
                EXPECT_EQ(v, v_before) << form->name;
            }
        }
        // K = 32 zero bytes, V = 32 bytes 0x01.
        Sha256Digest v, k{}, t;
        v.fill(0x01);
        HmacSha256Retry(v, *form).step(k, t);
        EXPECT_EQ(to_hex(t), "80a09de3bfe30da90116e588ade2f812d49b55625be8b4abbff775fa5a5a74e9") << form->name;
        EXPECT_EQ(to_hex(k), "551992aeecf649f5a4f140688b0551127357ad7477ca6e814f6957a2475fe4a0") << form->name;
    }
}

// The candidates of every form follow their construction, spelled out here
// with keys prepared from scratch on the portable form: messages around the
// one-block limit of SHA-256's padding (55 bytes) and beyond, x from zero to
// all ones, and several candidates each so the retry's K is checked too.
TEST(HmacSha256, CandidatesFollowTheirConstruction) {
    static constexpr std::uint8_t ZERO[1] = {0}, ONE[1] = {1};
    auto& rng = testing::rng();
    const std::size_t lengths[] = {0, 1, 31, 32, 33, 55, 56, 63, 64, 65, 119, 120, 200};
    for (const Sha256Form* form : runnable_forms()) {
        for (int trial = 0; trial < 40; ++trial) {
            Sha256Digest x;
            std::copy_n(random_bytes(32).begin(), 32, x.begin());
            if (trial == 0) x.fill(0x00);
            if (trial == 1) x.fill(0xff);
            const std::size_t length = trial < 13 ? lengths[trial] : rng() % 130;
            const Bytes message = random_bytes(length);

            const Sha256Digest h1 = sha256(message);
            Sha256Digest k{}, v, expected, t;
            v.fill(0x01);
            HmacSha256Key(k, SHA256_PORTABLE).mac({v, ZERO, x, h1}, k);
            HmacSha256Key(k, SHA256_PORTABLE).mac(v, v);
            HmacSha256Key(k, SHA256_PORTABLE).mac({v, ONE, x, h1}, k);
            HmacSha256Key(k, SHA256_PORTABLE).mac(v, v);
            HmacSha256Candidates candidates(x, message, *form);
            for (int i = 0; i < 6; ++i) {
                HmacSha256Key(k, SHA256_PORTABLE).mac(v, expected);
                HmacSha256Key(k, SHA256_PORTABLE).mac({v, v, ZERO}, k);
                candidates.next(t);
                EXPECT_EQ(t, expected) << form->name << ", trial " << trial << ", message of " << length
                                       << " bytes, candidate " << i;
            }
        }
    }
}

// Keys of up to a block are zero-padded, longer ones hashed: a key and the
// same key with zero bytes appended (up to the block) give the same MAC, a
// long key and its SHA-256 too.
TEST(HmacSha256, KeyLengthsFollowRfc2104) {
    const Bytes data = ascii("message");
    const Bytes key = ascii("short key");
    Bytes padded = key;
    padded.resize(SHA256_BLOCK_BYTES, 0);
    EXPECT_EQ(hmac_sha256(key, data), hmac_sha256(padded, data));
    padded.push_back(0);  // 65 bytes: now hashed first, a different key
    EXPECT_NE(hmac_sha256(key, data), hmac_sha256(padded, data));
    const Sha256Digest hashed = sha256(padded);
    EXPECT_EQ(hmac_sha256(padded, data), hmac_sha256(hashed, data));
}

}  // namespace
}  // namespace lumora::hashes
