#include "sdk/keys.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>

#include "common/text.h"
#include "curve/alt_jubjub.h"

namespace lumora::sdk {
namespace {

const std::string L_HEX = "060c89ce5c263405370a08b6d0302b0bab3eedb83920ee0a677297dc392126f1";
const std::string L_MINUS_1_HEX = "060c89ce5c263405370a08b6d0302b0bab3eedb83920ee0a677297dc392126f0";
const std::string KEY_NOT_IN_FIELD = "Cannot convert into prime field value: the private key is not an element of the field";

std::string abort_message(const std::function<void()>& f) {
    try {
        f();
    } catch (const Abort& a) {
        return a.message();
    }
    return "(no abort)";
}

TEST(FeConvert, BytesAndHex) {
    std::array<std::uint8_t, 32> be{};
    be[31] = 1;
    EXPECT_EQ(FeConvert::from_bytes(be).value(), Fs::one());
    EXPECT_EQ(FeConvert::to_hex(Fs::one()), std::string(63, '0') + "1");
    EXPECT_EQ(FeConvert::to_hex(-Fr::one()), "30644e72e131a029b85045b68181585d2833e84879b9709143e1f593f0000000");
    for (std::size_t n : {0, 31, 33}) {
        const std::vector<std::uint8_t> bytes(n);
        const auto r = FeConvert::from_bytes(bytes);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().message, "Incorrect input size. Actual: " + std::to_string(n) + ", expected: 32");
        EXPECT_TRUE(r.error().causes.empty());
    }
    const auto l = U256::from_str(L_HEX).value().to_bytes_be();
    EXPECT_EQ(FeConvert::from_bytes(l).error().message, KEY_NOT_IN_FIELD);
    EXPECT_EQ(ConversionError::hex_decoding_error("Odd number of digits").message,
              "Cannot decode hex: Odd number of digits");
    EXPECT_EQ(ConversionError::parsing_error("x").message, "Cannot parse value x");

    const Fr x = Fr::from_u64(0x1234);
    EXPECT_EQ(fr_to_u256(x), U256::from_u64(0x1234));
    EXPECT_EQ(le_to_u256(U256::from_u64(0xabcd).to_bytes_le()), U256::from_u64(0xabcd));
}

TEST(PrivateKeyText, Failures) {
    const std::string zeros64(64, '0');
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"0X" + zeros64, "Invalid character 'X' at position 1"},
        {std::string(62, '0'), "Incorrect input size. Actual: 31, expected: 32"},
        {std::string(66, '0'), "Incorrect input size. Actual: 33, expected: 32"},
        {"", "Incorrect input size. Actual: 0, expected: 32"},
        {std::string(63, '0'), "Odd number of digits"},
        // The length is checked before the characters.
        {"0xg" + std::string(62, '0'), "Odd number of digits"},
        {"0x0x" + std::string(63, '0') + "g", "Invalid character 'g' at position 63"},
        {zeros64.substr(0, 10) + "\xc3\xa9" + zeros64.substr(12), "Invalid character '\xc3\x83' at position 10"},
        {zeros64.substr(0, 3) + "'" + zeros64.substr(4), "Invalid character '\\'' at position 3"},
        // A rejected key is never echoed.
        {L_HEX, KEY_NOT_IN_FIELD},
        {"0x0x" + std::string(64, 'f'), KEY_NOT_IN_FIELD},
    };
    for (const auto& c : cases) {
        const auto r = private_key_from_string(c.text);
        ASSERT_FALSE(r.ok()) << c.text;
        EXPECT_EQ(r.error().message, c.message) << c.text;
        EXPECT_TRUE(r.error().causes.empty());
    }
}

TEST(PrivateKeyText, EveryByteAsADigit) {
    for (int c = 0; c < 256; ++c) {
        const std::string text = std::string(63, '0') + static_cast<char>(c);
        const auto r = private_key_from_string(text);
        const char* hex = "0123456789abcdef";
        const char* upper = "0123456789ABCDEF";
        int expected = -1;
        for (int v = 0; v < 16; ++v)
            if (c == hex[v] || c == upper[v]) expected = v;
        if (expected < 0) {
            ASSERT_FALSE(r.ok()) << c;
            EXPECT_EQ(r.error().message,
                      "Invalid character '" + text::quote_char(static_cast<unsigned char>(c)) + "' at position 63");
        } else {
            ASSERT_TRUE(r.ok()) << c;
            EXPECT_EQ(*r.value(), Fs::from_u64(static_cast<std::uint64_t>(expected)));
        }
    }
}

TEST(PrivateKeyText, Accepted) {
    const std::string zeros64(64, '0');
    EXPECT_EQ(*private_key_from_string(zeros64).value(), Fs::zero());
    EXPECT_EQ(*private_key_from_string("0x0x" + std::string(63, '0') + "1").value(), Fs::one());
    const Fs l_minus_1 = -Fs::one();
    EXPECT_EQ(*private_key_from_string(L_MINUS_1_HEX).value(), l_minus_1);
    std::string upper = "0x" + L_MINUS_1_HEX;
    for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    upper[1] = 'x';
    EXPECT_EQ(*private_key_from_string(upper).value(), l_minus_1);
}

TEST(PrivateKeySeed, LengthAndRoundTrip) {
    EXPECT_EQ(private_key_from_seed(std::string(31, 'a')).error().message, "seed is too short");
    EXPECT_EQ(private_key_from_seed("").error().message, "seed is too short");
    for (const std::string& seed :
         {std::string(32, 'a'), std::string(100, 'z'), std::string("\xc3\xa9") + std::string(30, 'b')}) {
        const auto key = private_key_from_seed(seed);
        ASSERT_TRUE(key.ok());
        ASSERT_EQ(key.value().size(), 66u);
        EXPECT_EQ(key.value().substr(0, 2), "0x");
        EXPECT_EQ(key.value().find_first_not_of("0123456789abcdef", 2), std::string::npos);
        const auto sk = private_key_from_string(key.value());
        ASSERT_TRUE(sk.ok());
        EXPECT_EQ("0x" + FeConvert::to_hex(*sk.value()), key.value());
    }
}

TEST(PublicKeys, PackedForm) {
    const auto& g5 = curve::jubjub_params().generator(curve::SIGNING_GENERATOR);
    EXPECT_EQ(public_key_from_private(Fs::zero()), U256::from_u64(1));
    EXPECT_EQ(public_key_from_private(Fs::one()), le_to_u256(g5.write()));
    const Fs k = Fs::from_u64(0x5eed) * Fs::from_u64(0xfeedfacecafe);
    const PackedPublicKey packed = public_key_from_private(k);
    const auto [x, y] = g5.mul(k, curve::jubjub_params()).to_xy();
    const BabyJubjubPoint point = unpack_public_key(packed);
    EXPECT_EQ(point.x, fr_to_u256(x));
    EXPECT_EQ(point.y, fr_to_u256(y));
    EXPECT_EQ(convert_to_pubkey(point.x, point.y).value(), g5.mul(k, curve::jubjub_params()));
}

TEST(PublicKeys, UnpackingEdges) {
    // Nonzero and below 2^160: taken as (0, value) without decoding.
    const U256 small = U256({~0ULL, ~0ULL, 0xffffffffULL, 0});
    EXPECT_EQ(unpack_public_key(small).x, U256());
    EXPECT_EQ(unpack_public_key(small).y, small);
    // Zero is decoded: y = 0 and x the even root of −1.
    const BabyJubjubPoint zero = unpack_public_key(U256());
    EXPECT_EQ(zero.y, U256());
    EXPECT_EQ(zero.x.to_hex(), "0x30644e72e131a029048b6e193fd841045cea24f6fd736bec231204708f703636");
    // 2^160 is decoded, and is not on the curve.
    EXPECT_EQ(abort_message([] { unpack_public_key(U256({0, 0, 1ULL << 32, 0})); }),
              "called `Result::unwrap()` on an `Err` value: RestoreRPoint(Custom { kind: InvalidInput, error: \"not on "
              "curve\" })");
    EXPECT_EQ(abort_message([] { unpack_public_key(U256(field::FrParams::MODULUS)); }),
              "called `Result::unwrap()` on an `Err` value: RestoreRPoint(Custom { kind: InvalidInput, error: \"y is "
              "not in field\" })");
}

TEST(PublicKeys, ConvertToPubkeyFailures) {
    const U256 p(field::FrParams::MODULUS);
    const std::string p_text = "0x30644e72e131a029b85045b68181585d2833e84879b9709143e1f593f0000001";
    EXPECT_EQ(convert_to_pubkey(p, U256::from_u64(1)).error().message, p_text + " is not an element of the field");
    EXPECT_EQ(convert_to_pubkey(U256(), p).error().message, p_text + " is not an element of the field");
    EXPECT_EQ(convert_to_pubkey(U256::from_u64(1), U256::from_u64(1)).error().message,
              "could not decode public key by x and y");
    EXPECT_EQ(convert_to_pubkey(U256(), U256::from_u64(1)).value(), PublicKey::zero());
}

TEST(PublicKeyTexts, PairsAndCurveTest) {
    const auto pair = public_key_pair("0x85a01167ea785d3f784224644a68e4067532c815f5f6d57d984b5c0e9c6c94b7").value();
    EXPECT_EQ(pair.x, "0x2ef3f9b423a2c8c74e9803958f6c320e854a1c1c06cd5cc8fd221dc052d76df7");
    // The JSON results: key 1's pair, and a packed key's as given.
    const std::string key_1_pair = R"({"x":")" + pair.packed + R"(","y":")" + pair.x + R"("})";
    EXPECT_EQ(private_key_to_public_key_xy("0x" + std::string(63, '0') + "1").value(), key_1_pair);
    EXPECT_EQ(public_key_to_xy(pair.packed).value(), key_1_pair);

    // The caller's digits come back unchanged; prefixes are dropped as documented.
    const auto upper = public_key_pair("0x0X85A01167EA785D3F784224644A68E4067532C815F5F6D57D984B5C0E9C6C94B7").value();
    EXPECT_EQ(upper.packed, "0x85A01167EA785D3F784224644A68E4067532C815F5F6D57D984B5C0E9C6C94B7");
    EXPECT_EQ(upper.x, pair.x);

    EXPECT_TRUE(is_on_curve(pair.packed, pair.x).value());
    EXPECT_TRUE(is_on_curve("0x0x0X0X" + pair.packed.substr(2), "0x0X" + pair.x.substr(2)).value());
    // "0x" after "0X" stays, and the comparison is textual.
    EXPECT_FALSE(is_on_curve("0X0x" + pair.packed.substr(2), pair.x).value());
    std::string x_upper = pair.x;
    for (auto& ch : x_upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_FALSE(is_on_curve(pair.packed, x_upper).value());
    EXPECT_FALSE(is_on_curve(pair.packed, pair.x.substr(0, 65)).value());

    const auto bad = public_key_to_xy("0xzz");
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().report(),
              "Invalid character 'z' at position 0\n\nCaused by:\n    0: Invalid character 'z' at position 0\n    1: "
              "Invalid character 'z' at position 0");
    EXPECT_EQ(private_key_to_public_key_xy(std::string(63, '0')).error().message, "Odd number of digits");
}

TEST(JsonResults, MembersInOrderValuesEscapedOrPrinted) {
    const U256 value({0x0123456789abcdefULL, 0, 0, 0xf000000000000000ULL});
    // A U256 as "0x" and 64 digits; a text escaped, UTF-8 kept as it is.
    EXPECT_EQ(json_object({{"a", value}, {"pk_y", "0x1"}, {"q", "\"\\\n\x01\xc3\xa9"}}),
              "{\"a\":\"0xf" + std::string(48, '0') + "123456789abcdef\",\"pk_y\":\"0x1\","
              "\"q\":\"\\\"\\\\\\n\\u0001\xc3\xa9\"}");
    EXPECT_EQ(json_object({}), "{}");
    EXPECT_EQ(json_object({{"s", U256()}}), "{\"s\":\"0x" + std::string(64, '0') + "\"}");
}

}  // namespace
}  // namespace lumora::sdk
