#include "integers/u256.h"

#include <gtest/gtest.h>

#include <random>

namespace lumora::integers {
namespace {

struct ParseCase {
    const char* text;
    const char* hex_or_message;  // the output form on success, else the failure message
    bool ok;
};

TEST(U256Parse, PlainFormKnownAnswers) {
    const ParseCase cases[] = {
        {"", "0x0000000000000000000000000000000000000000000000000000000000000000", true},
        {"0x", "0x0000000000000000000000000000000000000000000000000000000000000000", true},
        {"0xABCdef", "0x0000000000000000000000000000000000000000000000000000000000abcdef", true},
        {"abc", "0x0000000000000000000000000000000000000000000000000000000000000abc", true},
        {"0x" "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
         "0xffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", true},
        {"0x" "0ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", "Invalid string length", false},
        {"0X10", "Invalid character 'X' at position 1", false},
        {"0xabg", "Invalid character 'g' at position 3", false},
        {"0xzz", "Invalid character 'z' at position 0", false},
        {"0x0x1", "Invalid character 'x' at position 2", false},
        {"x", "Invalid character 'x' at position 1", false},
        {"1'", "Invalid character '\\'' at position 1", false},
        {"1\\", "Invalid character '\\\\' at position 1", false},
        {"1\n", "Invalid character '\\n' at position 1", false},
        {"1\x01", "Invalid character '\\u{1}' at position 1", false},
        {"1\xc3\xa9", "Invalid character '\xc3\x83' at position 2", false},
    };
    for (const auto& c : cases) {
        const auto r = U256::from_str(c.text);
        ASSERT_EQ(r.ok(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(r.value().to_hex(), c.hex_or_message) << c.text;
        } else {
            EXPECT_EQ(r.error().message, c.hex_or_message) << c.text;
            EXPECT_EQ(r.error().report(), std::string(c.hex_or_message) + "\n\nCaused by:\n    " + c.hex_or_message);
        }
    }
}

TEST(U256Parse, RadixFormWrapsTheSameFailureTwice) {
    const auto r = U256::from_str_radix16("0xzz");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().report(),
              "Invalid character 'z' at position 0\n\nCaused by:\n"
              "    0: Invalid character 'z' at position 0\n"
              "    1: Invalid character 'z' at position 0");
    EXPECT_EQ(U256::from_str_radix16("0x12").value(), U256::from_u64(0x12));
}

TEST(U256Bytes, RoundTripsAndOrder) {
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 100; ++i) {
        const U256 v({rng(), rng(), rng(), rng()});
        const auto le = v.to_bytes_le();
        EXPECT_EQ(U256::from_bytes_le(le), v);
        EXPECT_EQ(U256::from_bytes_be(v.to_bytes_be()), v);
        EXPECT_EQ(U256::from_str(v.to_hex()).value(), v);
        EXPECT_EQ(le[0], static_cast<std::uint8_t>(v.limbs[0]));
    }
    const std::uint8_t short_bytes[] = {1, 2};
    EXPECT_EQ(U256::from_bytes_le(short_bytes), U256::from_u64(0x0201));
    const std::array<std::uint8_t, 33> long_bytes{};
    EXPECT_THROW(U256::from_bytes_le(long_bytes), Abort);
}

// Bytes 1..32 read in each order: which byte lands in which limb, and back.
TEST(U256Bytes, LimbsOfEachOrder) {
    std::array<std::uint8_t, 32> bytes{};
    for (std::size_t i = 0; i < 32; ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
    const Limbs le = from_bytes_le(bytes);
    const Limbs be = from_bytes_be(bytes);
    EXPECT_EQ(le, (Limbs{0x0807060504030201, 0x100f0e0d0c0b0a09, 0x1817161514131211, 0x201f1e1d1c1b1a19}));
    EXPECT_EQ(be, (Limbs{0x191a1b1c1d1e1f20, 0x1112131415161718, 0x090a0b0c0d0e0f10, 0x0102030405060708}));
    EXPECT_EQ(to_bytes_le(le), bytes);
    EXPECT_EQ(to_bytes_be(be), bytes);
    EXPECT_EQ(to_hex(be), "0x0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20");
}

TEST(U256Arithmetic, ShiftAddMultiply) {
    const U256 top = shl(U256::from_u64(1), 255);
    EXPECT_EQ(top.limbs[3], std::uint64_t{1} << 63);
    EXPECT_TRUE(shl(top, 1).is_zero());
    EXPECT_EQ(shl(U256::from_u64(0x8000000000000001ULL), 65), U256({0, 2, 1, 0}));
    EXPECT_TRUE(shl(U256::from_u64(1), 256).is_zero());

    U256 a({~0ULL, ~0ULL, 0, 0});
    add_assign(a, U256::from_u64(1));
    EXPECT_EQ(a, U256({0, 0, 1, 0}));
    U256 max({~0ULL, ~0ULL, ~0ULL, ~0ULL});
    try {
        add_assign(max, U256::from_u64(1));
        FAIL();
    } catch (const Abort& e) {
        EXPECT_EQ(e.message(), "arithmetic operation overflow");
    }

    EXPECT_EQ(mul(U256::from_u128(static_cast<u128>(1) << 100), U256::from_u128(static_cast<u128>(3) << 100)),
              U256({0, 0, 0, 3ULL << 8}));
    EXPECT_THROW(mul(shl(U256::from_u64(1), 128), shl(U256::from_u64(1), 128)), Abort);
    EXPECT_EQ(U256::from_i128(-0 + 5), U256::from_u64(5));
    try {
        (void)U256::from_i128(-1);
        FAIL();
    } catch (const Abort& e) {
        EXPECT_EQ(e.message(), "Unsigned integer can't be created from negative value");
    }
}

TEST(ErrorReport, CauseLayouts) {
    EXPECT_EQ((Error{"top", {}}).report(), "top");
    EXPECT_EQ((Error{"top", {"a\nb"}}).report(), "top\n\nCaused by:\n    a\n    b");
    EXPECT_EQ((Error{"top", {"a", "b\nc"}}).report(), "top\n\nCaused by:\n    0: a\n    1: b\n       c");
    // A document's fault: the position follows the message, before any cause.
    EXPECT_EQ((Error{"top", {}, TextPosition{2, 0}}).report(), "top at line 2 column 0");
    EXPECT_EQ((Error{"top", {"a"}, TextPosition{1, 7}}).report(), "top at line 1 column 7\n\nCaused by:\n    a");
}

}  // namespace
}  // namespace lumora::integers
