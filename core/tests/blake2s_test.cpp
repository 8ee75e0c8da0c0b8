#include "hashes/blake2s.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/error.h"

#include "hash_test_support.h"

namespace lumora::hashes {
namespace {

using namespace test_support;

std::string hash_hex(std::size_t digest_length, const Bytes& key, const Bytes& salt, const Bytes& persona,
                     const Bytes& data) {
    auto h = Blake2s::with_params(digest_length, key, salt, persona);
    h.update(data);
    return to_hex(h.finalize_with_flag(0).view());
}

// Bytes from a 32-bit linear congruential generator (the top byte of each
// state); the same generator produced the expected digests below.
Bytes lcg_bytes(std::size_t n, std::uint32_t seed) {
    Bytes out(n);
    for (auto& b : out) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return out;
}

TEST(Blake2s, Rfc7693Abc) {
    EXPECT_EQ(hash_hex(32, {}, {}, {}, ascii("abc")), "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982");
}

// The self-test of RFC 7693, Appendix E: keyed and unkeyed digests of several
// lengths over inputs of 0 to 1024 bytes, hashed together.
TEST(Blake2s, Rfc7693SelfTest) {
    auto sequence = [](std::size_t n, std::uint32_t seed) {
        Bytes out(n);
        std::uint32_t a = 0xDEAD4BADu * seed, b = 1;
        for (auto& x : out) {
            const std::uint32_t t = a + b;
            a = b;
            b = t;
            x = static_cast<std::uint8_t>(t >> 24);
        }
        return out;
    };
    auto grand = Blake2s::with_params(32, {}, {}, {});
    for (std::size_t outlen : {16, 20, 28, 32}) {
        for (std::size_t inlen : {0, 3, 64, 65, 255, 1024}) {
            const Bytes in = sequence(inlen, static_cast<std::uint32_t>(inlen));
            for (const Bytes& key : {Bytes{}, sequence(outlen, static_cast<std::uint32_t>(outlen))}) {
                auto h = Blake2s::with_params(outlen, key, {}, {});
                h.update(in);
                grand.update(h.finalize_with_flag(0).view());
            }
        }
    }
    EXPECT_EQ(to_hex(grand.finalize_with_flag(0).view()),
              "6a411f08ce25adcdfb02aba641451cec53c598b24f4fc787fbdc88797f4c1dfe");
}

// Digests computed with a general-purpose BLAKE2s (digest size, key, salt and
// personalisation parameters) over the generator's bytes.
TEST(Blake2s, ParameterBlockKnownAnswers) {
    struct Params {
        std::size_t digest_length;
        Bytes key, salt, persona;
    };
    const Params params[] = {
        {32, {}, {}, ascii("Zcash_G_")},
        {32, lcg_bytes(32, 1001), lcg_bytes(8, 2001), ascii("Zcash_PH")},
        {20, lcg_bytes(7, 1002), lcg_bytes(5, 2002), {}},
        {16, {}, lcg_bytes(8, 2003), ascii("abc")},
    };
    struct Case {
        int params;
        std::size_t length;
        const char* digest;
    };
    const Case cases[] = {
        {0, 0, "44019295aee03358a9b681963889dd8c45022e9248e2f6e960166660a99447b7"},
        {0, 1, "bb02b26ce4838d5abdea01c3277ed03ca536fd95e82f8c1ec6aaff784883fa9a"},
        {0, 63, "031ebade13658a3165b1b8fd2238396c65af22dbdb6d3114105a568d310d3a94"},
        {0, 64, "484a8e329bfdd90d671429a4b52c4edef3faa38e965acb90163980de8e8586f2"},
        {0, 65, "85f895aa7cd4e83c23b01b40ec4373f2eb4410c82c082803ed25828891157569"},
        {0, 128, "b1323d6f56c18e597569c996668e3bf2e899fcb402b7725b65ac11b7e71baf2c"},
        {0, 1000, "7e19b939f90b084dfe787e101ca44900ec7389d5ecd2b3538d1fba45bf898520"},
        {1, 0, "6df424ac3fc3e15be57beab57758e6b03ce2d7796d066a45530cac9b14d3c755"},
        {1, 1, "6473640e6f5cd084ed6595b98f01d5ee154b2263345a51fc10786248e2631dd0"},
        {1, 63, "faf61223167016834bb3721981d820c0382f111f51ff2d2f4bfa0ac4d364939e"},
        {1, 64, "00e5d18ae6362eb6db4ea8bec290e6b1966bacf081e53b8cfe5ed6c1c7bae19e"},
        {1, 65, "ec800cc9275b46b42f48f3a3f93295b2d336ff451a09079bf13d4edad51208d6"},
        {1, 128, "7df90442a8a0fe28d1cd944f2de327c7bd7ac0eb558caf2e024f8a6e1b415c49"},
        {1, 1000, "1e7aa48f5c1fa563e79184d084516723ffb39d716b19e95e6422e1e1970ee44e"},
        {2, 0, "0629affef67b3f2cbc4bda6058bd59b4c1ac2da9"},
        {2, 1, "d014d71c4b906a742cd8987d7a5d02a7c52e6061"},
        {2, 63, "b873305eb20e582ca0ab38585dcb048dcbb17a47"},
        {2, 64, "c54f528ed077443f6749f721d926bef6a3496395"},
        {2, 65, "6a4be83ddbbc4a988689764fe94ba101f31a22ea"},
        {2, 128, "12b4fe02b1ff6ddda33e23edb430f0e00bfab5a5"},
        {2, 1000, "3404d7f2fac8b5986a2cbed2a0b806a808081c3d"},
        {3, 0, "c1d141301f61408c82d442232522d0a4"},
        {3, 1, "1e27b03b0e5a6e0c025c0d51a8e63e18"},
        {3, 63, "7afe593c5b4b8b33f58aeaaec262249a"},
        {3, 64, "34a08c82a484d89bcc2d36749ae29730"},
        {3, 65, "2ff76a1106c7692a50fafe1ffb6c2d66"},
        {3, 128, "90d16c851a0415290e4d17a2a59b03c1"},
        {3, 1000, "bee42b79fe9011806becb484bafcaa7f"},
    };
    for (const auto& c : cases) {
        const Params& p = params[c.params];
        const Bytes data = lcg_bytes(c.length, static_cast<std::uint32_t>(c.length * 7 + c.params));
        EXPECT_EQ(hash_hex(p.digest_length, p.key, p.salt, p.persona, data), c.digest)
            << "parameters " << c.params << ", length " << c.length;

        // Fed in uneven pieces, including empty ones, the digest is the same.
        auto h = Blake2s::with_params(p.digest_length, p.key, p.salt, p.persona);
        std::size_t pos = 0;
        for (std::size_t step = 0; pos < data.size(); step = (step * 5 + 3) % 70) {
            const std::size_t take = std::min(step, data.size() - pos);
            h.update(std::span(data).subspan(pos, take));
            pos += take;
        }
        EXPECT_EQ(to_hex(h.finalize_with_flag(0).view()), c.digest);
    }
}

TEST(Blake2s, ParameterBoundsAbort) {
    const Bytes long_key(33, 1), nine(9, 1), eight(8, 1);
    struct Case {
        std::size_t digest_length;
        const Bytes* key;
        const Bytes* salt;
        const Bytes* persona;
        const char* message;
    };
    const Bytes none;
    const Case cases[] = {
        {0, &none, &none, &none, "assertion failed: nn >= 1 && nn <= 32 && kk <= 32"},
        {33, &none, &none, &none, "assertion failed: nn >= 1 && nn <= 32 && kk <= 32"},
        {32, &long_key, &none, &none, "assertion failed: nn >= 1 && nn <= 32 && kk <= 32"},
        {32, &none, &nine, &none, "assertion failed: salt.len() <= length"},
        {32, &none, &eight, &nine, "assertion failed: persona.len() <= length"},
    };
    for (const auto& c : cases) {
        try {
            (void)Blake2s::with_params(c.digest_length, *c.key, *c.salt, *c.persona);
            ADD_FAILURE() << "no abort for " << c.message;
        } catch (const Abort& a) {
            EXPECT_EQ(a.message(), c.message);
        }
    }
    EXPECT_NO_THROW((void)Blake2s::with_params(1, Bytes(32, 1), eight, eight));
}

}  // namespace
}  // namespace lumora::hashes
