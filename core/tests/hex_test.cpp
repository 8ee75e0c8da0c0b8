// The hexadecimal codec and the escaper against their plain forms and the
// texts callers have always seen.
#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <array>
#include <string>

#include "common/hex.h"
#include "common/text.h"

namespace lumora {
namespace {

using lumora::testing::rng;

TEST(HexCodec, HexDigitOfEveryNibble) {
    const char* digits = "0123456789abcdef";
    for (unsigned n = 0; n < 16; ++n) {
        EXPECT_EQ(hex::digit_lower(n), digits[n]) << n;
        EXPECT_EQ(hex::digit_lower(n | 0xf0), digits[n]) << n;  // only the low nibble counts
    }
}

TEST(HexCodec, HexValueOfEveryByte) {
    for (int c = 0; c < 256; ++c) {
        int expected = -1;
        if (c >= '0' && c <= '9') expected = c - '0';
        if (c >= 'a' && c <= 'f') expected = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') expected = c - 'A' + 10;
        const hex::Digit d = hex::digit_value(static_cast<unsigned char>(c));
        EXPECT_EQ(d.valid, expected >= 0 ? 1u : 0u) << c;
        if (expected >= 0) {
            EXPECT_EQ(d.value, static_cast<unsigned>(expected)) << c;
        }
    }
}

// The plain form: strip while the text starts with the prefix.
std::size_t plain_prefix_count(std::string_view text, std::string_view prefix) {
    std::size_t n = 0;
    while (text.starts_with(prefix)) {
        text.remove_prefix(prefix.size());
        ++n;
    }
    return n;
}

void expect_prefix_counts(std::string_view text) {
    const std::size_t plain = plain_prefix_count(text, "0x");
    EXPECT_EQ(hex::count_prefixes(text, "0x"), plain) << text;
    EXPECT_EQ(hex::count_prefixes_var(text, "0x"), plain) << text;
    EXPECT_EQ(hex::strip_prefixes_var(text, "0x"), text.substr(2 * plain)) << text;
}

TEST(HexCodec, PrefixCountAgreesWithStripping) {
    const std::string cases[] = {"",    "0",     "x",      "0x",     "0X",   "x0",   "00",    "0x0",
                                 "0xx", "0x0x",  "0x0X",   "0X0x",   "0x0x0", "x0x0", "0x00x", "0x0x0x1",
                                 std::string(4096, '0'), [] {
                                     std::string s;
                                     for (int i = 0; i < 1000; ++i) s += "0x";
                                     return s + "ab";
                                 }()};
    for (const auto& text : cases)
        expect_prefix_counts(text);

    // Random texts over the characters that matter, prefixes biased in.
    const char alphabet[] = {'0', 'x', 'X', 'a', '\0', '\xff'};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (auto k = rng()() % 4; k-- > 0;) text += "0x";
        for (auto n = rng()() % 8; n-- > 0;) text += alphabet[rng()() % sizeof alphabet];
        expect_prefix_counts(text);
    }
}


// Random byte strings of up to 32 bytes written and read back, in both
// digit cases, and the odd-length reading with its leading '0'.
TEST(HexCodec, DecodeReadsWhatEncodeWrites) {
    for (int round = 0; round < 500; ++round) {
        std::array<std::uint8_t, 32> bytes{};
        const std::size_t n = rng()() % 33;
        for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(rng()());
        std::string text;
        hex::append_lower(text, std::span(bytes).first(n));
        ASSERT_EQ(text.size(), 2 * n);
        for (char& c : text)
            if (round % 2 == 1 && c >= 'a') c = static_cast<char>(c - 'a' + 'A');
        std::array<std::uint8_t, 32> back{};
        EXPECT_EQ(hex::decode(text, std::span(back).first(n)), hex::NO_FAULT) << text;
        EXPECT_EQ(back, bytes) << text;
    }
    std::array<std::uint8_t, 2> odd{};
    EXPECT_EQ(hex::decode("abc", odd), hex::NO_FAULT);
    EXPECT_EQ(odd, (std::array<std::uint8_t, 2>{0x0a, 0xbc}));
}

// The first non-digit is reported, positions counting the implied '0' of an
// odd count; checking without keeping finds the same one.
TEST(HexCodec, DecodeReportsTheFirstNonDigit) {
    const std::pair<std::string_view, std::size_t> cases[] = {
        {"", hex::NO_FAULT}, {"0g", 1}, {"g0", 0}, {"abg", 3}, {"xbg", 1}, {"12 4", 2}, {"0X10", 1}, {"ff\xff", 3},
    };
    for (const auto& [text, fault] : cases) {
        std::array<std::uint8_t, 2> out{};
        EXPECT_EQ(hex::decode(text, std::span(out).first((text.size() + 1) / 2)), fault) << text;
        EXPECT_EQ(hex::decode(text, {}), fault) << text;
    }
    EXPECT_EQ(hex::invalid_character_message('g', 3), "Invalid character 'g' at position 3");
}

// The three quotings on the characters where they differ.
TEST(TextEscaper, QuotingsKnownAnswers) {
    struct Case {
        std::string_view input;
        std::string_view debug;  // quote_debug
        std::string_view json;   // append_json_string
    };
    const Case cases[] = {
        {"plain", R"("plain")", R"("plain")"},
        {"a\"b\\c'", R"("a\"b\\c'")", R"("a\"b\\c'")"},
        {std::string_view("\0\t\n\r", 4), R"("\0\t\n\r")", R"("\u0000\t\n\r")"},
        {"\b\f\x1f\x7f", R"("\u{8}\u{c}\u{1f}\u{7f}")", "\"\\b\\f\\u001f\x7f\""},
        {"\xc2\x85\xc2\xa0\xc2\xad\xc3\xa9", "\"\\u{85}\xc2\xa0\xc2\xad\xc3\xa9\"", "\"\xc2\x85\xc2\xa0\xc2\xad\xc3\xa9\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::quote_debug(c.input), c.debug);
        std::string json;
        text::append_json_string(json, c.input);
        EXPECT_EQ(json, c.json);
    }
    // A byte taken as a code point: the character form.
    const std::pair<unsigned char, std::string_view> chars[] = {
        {'g', "g"},         {'\'', "\\'"},       {'"', "\""},        {'\\', "\\\\"},
        {0, "\\0"},         {0x1b, "\\u{1b}"},   {0x7f, "\\u{7f}"},  {0x9f, "\\u{9f}"},
        {0xa0, "\xc2\xa0"}, {0xad, "\\u{ad}"},   {0xe9, "\xc3\xa9"}, {0xff, "\xc3\xbf"},
    };
    for (const auto& [byte, expected] : chars) EXPECT_EQ(text::quote_char(byte), expected) << int{byte};
}

}  // namespace
}  // namespace lumora
