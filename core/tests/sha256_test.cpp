#include "hashes/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/cpu.h"
#include "seeded_rng.h"

#include "hash_test_support.h"

namespace lumora::hashes {
namespace {

using namespace test_support;

// The digest of `data` fed in pieces split at `cuts` (ascending offsets).
std::string digest_hex(const Sha256Form& form, const Bytes& data, std::initializer_list<std::size_t> cuts = {}) {
    Sha256 h(form);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        h.update(std::span(data).subspan(from, cut - from));
        from = cut;
    }
    h.update(std::span(data).subspan(from));
    Sha256Digest out;
    h.finalize(out);
    return to_hex(out);
}

TEST(Sha256, StandardExamplesAndPaddingBoundaries) {
    struct Case {
        Bytes message;
        const char* digest;
    };
    const Case cases[] = {
        {{}, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {ascii("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {ascii("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {ascii("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrs"
               "tnopqrstu"),
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        // 55 bytes still take the length in their own block, 56 need a
        // second one; 64 and 120 end on and just past a block boundary.
        {Bytes(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {Bytes(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {Bytes(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {Bytes(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {Bytes(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {Bytes(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
    };
    for (const Sha256Form* form : runnable_forms()) {
        for (const auto& c : cases) {
            EXPECT_EQ(digest_hex(*form, c.message), c.digest) << form->name << ", " << c.message.size() << " bytes";
            // Byte by byte through the buffer.
            Sha256 h(*form);
            for (auto b : c.message) h.update(std::span(&b, 1));
            Sha256Digest out;
            h.finalize(out);
            EXPECT_EQ(to_hex(out), c.digest) << form->name << ", bytewise, " << c.message.size() << " bytes";
        }
    }
    EXPECT_EQ(to_hex(sha256(ascii("abc"))), cases[1].digest);
}

TEST(Sha256, OneMillionA) {
    const Bytes chunk(997, 'a');  // not a multiple of the block: every buffer offset occurs
    for (const Sha256Form* form : runnable_forms()) {
        Sha256 h(*form);
        std::size_t left = 1000000;
        while (left > 0) {
            const std::size_t n = std::min(left, chunk.size());
            h.update(std::span(chunk).first(n));
            left -= n;
        }
        Sha256Digest out;
        h.finalize(out);
        EXPECT_EQ(to_hex(out), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0") << form->name;
    }
}

TEST(Sha256, FinalizeStartsOverAndOutputMayAliasInput) {
    Sha256 h;
    h.update(ascii("not part of the next digest"));
    Sha256Digest first;
    h.finalize(first);
    h.update(ascii("abc"));
    Sha256Digest second;
    h.finalize(second);
    EXPECT_EQ(to_hex(second), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    // Chained hashing in place, as key derivation does it.
    Sha256Digest chained = sha256(ascii("abc"));
    const Sha256Digest expected = sha256(chained);
    sha256(chained, chained);
    EXPECT_EQ(chained, expected);
}

TEST(Sha256, ExtensionFormAgreesWithPortable) {
    const Sha256Form* extension = sha256_extension_form();
    if (extension == nullptr || !cpu::features().sha) GTEST_SKIP() << "this CPU has no SHA-256 instructions";

    auto& rng = testing::rng();
    // Every length, split at random points into up to three updates.
    for (std::size_t n = 0; n <= 200; ++n) {
        const Bytes data = random_bytes(n);
        const std::string expected = digest_hex(SHA256_PORTABLE, data);
        std::size_t a = rng() % (n + 1), b = rng() % (n + 1);
        if (a > b) std::swap(a, b);
        EXPECT_EQ(digest_hex(*extension, data), expected) << n << " bytes";
        EXPECT_EQ(digest_hex(*extension, data, {a, b}), expected) << n << " bytes split at " << a << ", " << b;
        EXPECT_EQ(digest_hex(SHA256_PORTABLE, data, {a, b}), expected) << n << " bytes split";
    }
    // The bare compressions from arbitrary states, over several blocks at
    // once, and two lanes at once.
    auto random_state = [&] {
        Sha256State state;
        for (auto& w : state) w = static_cast<std::uint32_t>(rng());
        return state;
    };
    for (int trial = 0; trial < 64; ++trial) {
        const Sha256State state = random_state();
        const std::size_t blocks = 1 + trial % 4;
        const Bytes data = random_bytes(blocks * SHA256_BLOCK_BYTES);
        Sha256State portable = state, fast = state;
        SHA256_PORTABLE.compress(portable, data.data(), blocks);
        extension->compress(fast, data.data(), blocks);
        EXPECT_EQ(fast, portable) << blocks << " blocks";

        const Sha256State other = random_state();
        const Bytes other_data = random_bytes(SHA256_BLOCK_BYTES);
        Sha256State a = state, b = other, one = state, two = other;
        extension->compress_pair(a, data.data(), b, other_data.data());
        SHA256_PORTABLE.compress(one, data.data(), 1);
        SHA256_PORTABLE.compress(two, other_data.data(), 1);
        EXPECT_EQ(a, one);
        EXPECT_EQ(b, two);
    }
}

TEST(Sha256, PortablePairIsTwoCompressions) {
    auto& rng = testing::rng();
    Sha256State a, b;
    for (auto& w : a) w = static_cast<std::uint32_t>(rng());
    for (auto& w : b) w = static_cast<std::uint32_t>(rng());
    const Bytes block_a = random_bytes(SHA256_BLOCK_BYTES), block_b = random_bytes(SHA256_BLOCK_BYTES);
    Sha256State one = a, two = b;
    SHA256_PORTABLE.compress_pair(a, block_a.data(), b, block_b.data());
    SHA256_PORTABLE.compress(one, block_a.data(), 1);
    SHA256_PORTABLE.compress(two, block_b.data(), 1);
    EXPECT_EQ(a, one);
    EXPECT_EQ(b, two);
}

TEST(Sha256, DispatchFollowsTheProcessChoice) {
    const Sha256Form& chosen = sha256_form();
    EXPECT_EQ(&chosen, cpu::dispatch().extensions.sha ? sha256_extension_form() : &SHA256_PORTABLE);
    EXPECT_EQ(&sha256_form(), &chosen);
}

}  // namespace
}  // namespace lumora::hashes
