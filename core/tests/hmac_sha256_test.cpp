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

// A message given by the schedules of its padded blocks MACs as the message
// itself, on every form, for messages of one and two inner blocks; and the
// scheduled compression equals the plain one.
TEST(HmacSha256, ScheduledBlocksEqualTheirMessage) {
    for (const Sha256Form* form : runnable_forms()) {
        for (int trial = 0; trial < 40; ++trial) {
            const Bytes key = random_bytes(trial % 3 == 0 ? 32 : trial % 70);
            const Bytes message = random_bytes(trial % 2 == 0 ? 20 : 80);
            // The inner message after the pad block, padded: one or two blocks.
            Bytes padded = message;
            padded.push_back(0x80);
            while (padded.size() % SHA256_BLOCK_BYTES != SHA256_BLOCK_BYTES - 8) padded.push_back(0);
            const std::uint64_t bits = (SHA256_BLOCK_BYTES + message.size()) * 8;
            for (int i = 7; i >= 0; --i) padded.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
            std::vector<std::array<std::uint32_t, 64>> schedules(padded.size() / SHA256_BLOCK_BYTES);
            for (std::size_t i = 0; i < schedules.size(); ++i) {
                sha256_schedule(padded.data() + i * SHA256_BLOCK_BYTES, schedules[i].data());
                Sha256State plain = SHA256_IV, scheduled = SHA256_IV;
                SHA256_PORTABLE.compress(plain, padded.data() + i * SHA256_BLOCK_BYTES, 1);
                sha256_compress_scheduled(scheduled, schedules[i].data());
                EXPECT_EQ(plain, scheduled) << "trial " << trial << ", block " << i;
            }
            const HmacSha256Key prepared(key, *form);
            Sha256Digest expected, mac;
            prepared.mac(message, expected);
            if (schedules.size() == 1) {
                prepared.mac_scheduled({schedules[0].data()}, mac);
            } else {
                prepared.mac_scheduled({schedules[0].data(), schedules[1].data()}, mac);
            }
            EXPECT_EQ(mac, expected) << form->name << ", trial " << trial;
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
