#include "sdk/documents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumora::sdk {
namespace {

// "ok", or the parse error's text with its position.
template <class T>
std::string outcome(const Result<T>& parsed) {
    return parsed.ok() ? "ok" : parsed.error().report();
}

std::string withdraw_outcome(std::string_view doc) { return outcome(parse_document<WithdrawRequest>(doc)); }
std::string oracle_outcome(std::string_view doc) { return outcome(parse_document<SignedOraclePrice>(doc)); }

// A complete withdrawal without its closing brace, so that a test can append
// one more member; the own fields come first, the common order fields last.
const std::string WITHDRAW_OWN = R"({"position_id":"1","amount":"2","eth_address":"0x3","asset_id":"0x4")";
const std::string WITHDRAW_BODY = WITHDRAW_OWN + R"(,"nonce":"5","public_key":"0x6","expiration_timestamp":"7")";
const std::string ORACLE_BODY = R"({"signer_key":"0x1","external_price":"2","timestamp":"3","signed_asset_id":"0x4")";
const std::string ORDER_BODY =
    R"({"amount_synthetic":"1","amount_collateral":"2","amount_fee":"3","asset_id_synthetic":"0x4",)"
    R"("asset_id_collateral":"0x5","position_id":"6","is_buying_synthetic":true,"nonce":"7","public_key":"0x8",)"
    R"("expiration_timestamp":"9")";
const std::string TRANSFER_BODY =
    R"({"sender_position_id":"1","receiver_public_key":"0x2","receiver_position_id":"3","amount":"4",)"
    R"("asset_id":"0x5","nonce":"6","public_key":"0x7","expiration_timestamp":"8")";

std::string repeat(std::string_view text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

struct Case {
    std::string doc;
    std::string expected;
};

void expect_cases(const std::vector<Case>& cases, std::string (*decode)(std::string_view)) {
    for (const auto& c : cases) EXPECT_EQ(decode(c.doc), c.expected) << c.doc;
}

// Syntax faults read the same inside a member that a withdrawal keeps (with
// the nesting limit) and one that an oracle price drops (without it).
TEST(DocumentSyntax, EveryMessageKeptAndDropped) {
    // The member, the message, and the column relative to the member's start.
    const std::vector<std::tuple<std::string, std::string, std::size_t>> cases = {
        {R"("x":)", "EOF while parsing a value", 4},
        {R"("x")", "EOF while parsing an object", 3},
        {R"("x":[1,2)", "EOF while parsing a list", 8},
        {R"("x":[1,)", "EOF while parsing a value", 7},
        {R"("x":{"a":1)", "EOF while parsing an object", 10},
        {R"("x":"abc)", "EOF while parsing a string", 8},
        {R"("x":"ab\)", "EOF while parsing a string", 8},
        {R"("x":?})", "expected value", 5},
        {R"("x":+1})", "expected value", 5},
        {R"("x":[1,?]})", "expected value", 8},
        {R"("x":tru})", "expected ident", 8},
        {R"("x":nul)", "EOF while parsing a value", 7},
        {R"("x":falsy})", "expected ident", 9},
        {R"("x" 1})", "expected `:`", 5},
        {R"("x":{"a" 1}})", "expected `:`", 10},
        {R"("x":1 "y":2})", "expected `,` or `}`", 7},
        {R"("x":{"a":1 "b":2}})", "expected `,` or `}`", 12},
        {R"("x":[1 2]})", "expected `,` or `]`", 8},
        {R"(1:2})", "key must be a string", 1},
        {R"("x":{1:2}})", "key must be a string", 6},
        {R"("x":{,}})", "key must be a string", 6},
        {R"("x":1,})", "trailing comma", 7},
        {R"("x":[1,]})", "trailing comma", 8},
        {R"("x":{"a":1,}})", "trailing comma", 12},
        {R"("x":"\q"})", "invalid escape", 7},
        {R"("x":"\uDC00"})", "invalid unicode code point", 11},
        {R"("x":"\uD800x"})", "lone leading surrogate in hex escape", 12},
        {R"("x":"\uD800\n"})", "lone leading surrogate in hex escape", 13},
        {R"("x":"\uD800\u0041"})", "lone leading surrogate in hex escape", 17},
        {R"("x":"\uD800\uD800"})", "lone leading surrogate in hex escape", 17},
        {R"("x":"\u12G4"})", "unexpected end of hex escape", 10},
        {R"("x":"\uD800\u0G"})", "unexpected end of hex escape", 15},
        {R"("x":"\u12)", "EOF while parsing a string", 9},
        {"\"x\":\"a\x01\"}", "control character (\\u0000-\\u001F) found while parsing a string", 7},
        {"\"x\":\"\xff\"}", "invalid unicode code point", 6},
        {"\"x\":\"\xc3(\"}", "invalid unicode code point", 7},
        {"\"x\":\"\xed\xa0\x80\"}", "invalid unicode code point", 7},
        {R"("x":01})", "invalid number", 6},
        {R"("x":-x})", "invalid number", 6},
        {R"("x":-)", "EOF while parsing a value", 5},
        {R"("x":1.})", "invalid number", 7},
        {R"("x":1.)", "EOF while parsing a value", 6},
        {R"("x":1e+})", "invalid number", 8},
        {R"("x":1E)", "EOF while parsing a value", 6},
        {R"("x":1e400})", "number out of range", 9},
        {R"("x":-123456789e301})", "number out of range", 18},
    };
    // Complete records, so that only the appended member can fail.
    const std::string withdraw = WITHDRAW_BODY + ",";
    const std::string oracle = ORACLE_BODY + std::string(WITHDRAW_BODY.size() - ORACLE_BODY.size(), ' ') + ",";
    for (const auto& [member, message, offset] : cases) {
        const std::string expected = message + " at line 1 column " + std::to_string(withdraw.size() + offset);
        EXPECT_EQ(withdraw_outcome(withdraw + member), expected) << member;
        EXPECT_EQ(oracle_outcome(oracle + member), expected) << member;
    }
    // A raw line feed is a control character too; having read it, the position is on the next line.
    EXPECT_EQ(withdraw_outcome(withdraw + "\"x\":\"a\nb\"}"),
              "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0");
}

TEST(DocumentSyntax, TopLevel) {
    expect_cases(
        {
            {"", "EOF while parsing a value at line 1 column 0"},
            {"   ", "EOF while parsing a value at line 1 column 3"},
            {" \n\t", "EOF while parsing a value at line 2 column 1"},
            {"{", "EOF while parsing an object at line 1 column 1"},
            {"{\n", "EOF while parsing an object at line 2 column 0"},
            {"?", "expected value at line 1 column 1"},
            {"nul", "EOF while parsing a value at line 1 column 3"},
            {WITHDRAW_BODY + "} {}", "trailing characters at line 1 column 129"},
            {WITHDRAW_BODY + "}\n\t x", "trailing characters at line 2 column 3"},
            {WITHDRAW_BODY + "} \n\r\t ", "ok"},
            {"\n\n  " + WITHDRAW_BODY + "}", "ok"},
            {"{,}", "key must be a string at line 1 column 2"},
            {"{\"amount\"}", "expected `:` at line 1 column 10"},
            {"{\"amount\"", "EOF while parsing an object at line 1 column 9"},
        },
        withdraw_outcome);
}

// Positions count lines from 1 and bytes within the line read so far;
// multi-byte characters count by their bytes.
TEST(DocumentPositions, MultiLine) {
    const std::string doc =
        "{\n"
        "  \"position_id\": \"1\",\n"
        "  \"amount\": \"2\",\n"
        "  \"eth_address\": \"0x3\",\n"
        "  \"note\": \"\xc3\xa9t\xc3\xa9\", \"asset_id\": \"0xzz\"   ,\n"
        "  \"nonce\": \"5\"\n"
        "}";
    EXPECT_EQ(withdraw_outcome(doc), "u256 from string error: Invalid character 'z' at position 0 at line 5 column 40");
    std::string missing = doc;
    missing.replace(missing.find("0xzz"), 4, "0x4");
    EXPECT_EQ(withdraw_outcome(missing), "missing field `public_key` at line 7 column 1");
    EXPECT_EQ(withdraw_outcome("{\n\n\"amount\": \"2\",\n\"amount\" \n : \"1\"}"),
              "duplicate field `amount` at line 5 column 1");
}

// Each encoding's failures; the field is the last member, so an own field's
// fault is reported just after its value, and a common order field's at the
// closing brace.
TEST(DocumentEncodings, FailureMessages) {
    const std::string u64_fault = "u64 from string error: ";
    const std::vector<std::tuple<std::string, std::string, std::string>> withdraw_cases = {
        {"amount", R"("")", u64_fault + "cannot parse integer from empty string"},
        {"amount", R"("+")", u64_fault + "invalid digit found in string"},
        {"amount", R"("-")", u64_fault + "invalid digit found in string"},
        {"amount", R"("-7")", u64_fault + "invalid digit found in string"},
        {"amount", R"(" 7")", u64_fault + "invalid digit found in string"},
        {"amount", R"("7 ")", u64_fault + "invalid digit found in string"},
        {"amount", R"("++7")", u64_fault + "invalid digit found in string"},
        {"amount", R"("0x7")", u64_fault + "invalid digit found in string"},
        {"amount", R"("18446744073709551616")", u64_fault + "number too large to fit in target type"},
        {"amount", R"("99999999999999999999x")", u64_fault + "number too large to fit in target type"},
        {"amount", R"("1x999999999999999999999")", u64_fault + "invalid digit found in string"},
        {"asset_id", R"("0x10000000000000000000000000000000000000000000000000000000000000000")",
         "u256 from string error: Invalid string length"},
        {"asset_id", R"("0X10")", "u256 from string error: Invalid character 'X' at position 1"},
        {"asset_id", R"("0xabg")", "u256 from string error: Invalid character 'g' at position 3"},
        {"eth_address", R"("0xzz")", "Invalid character 'z' at position 0"},
        {"eth_address", R"("0x0x1")", "Invalid character 'x' at position 2"},
        {"amount", "\"\\u0037\"", "ok"},
    };
    for (const auto& [key, value, expected] : withdraw_cases) {
        std::string doc = WITHDRAW_BODY;
        doc.replace(doc.find("\"" + key + "\""), key.size() + 2, "\"renamed\"");
        doc += ",\"" + key + "\":" + value + " ";
        const std::string position = " at line 1 column " + std::to_string(doc.size());
        EXPECT_EQ(withdraw_outcome(doc + "}"), expected == "ok" ? "ok" : expected + position) << doc;
    }
    // Common order fields: reported at the closing brace (the 32-bit field keeps the 64-bit wording).
    const std::vector<std::tuple<std::string, std::string, std::string>> common_cases = {
        {"expiration_timestamp", R"("4294967296")", u64_fault + "number too large to fit in target type"},
        {"expiration_timestamp", R"("4294967295")", "ok"},
        {"nonce", "5", "invalid type: integer `5`, expected a string"},
        {"nonce", R"("")", u64_fault + "cannot parse integer from empty string"},
        {"public_key", R"("0xzz")", "Invalid character 'z' at position 0"},
        {"public_key", "null", "invalid type: null, expected a string"},
    };
    for (const auto& [key, value, expected] : common_cases) {
        std::string doc = WITHDRAW_BODY;
        doc.replace(doc.find("\"" + key + "\""), key.size() + 2, "\"renamed\"");
        doc += ",\"" + key + "\":" + value + " }";
        const std::string position = " at line 1 column " + std::to_string(doc.size());
        EXPECT_EQ(withdraw_outcome(doc), expected == "ok" ? "ok" : expected + position) << doc;
    }
}

TEST(DocumentEncodings, OrderAndOracleFields) {
    const auto order_with = [](const std::string& key, const std::string& value) {
        std::string doc = ORDER_BODY;
        doc.replace(doc.find("\"" + key + "\""), key.size() + 2, "\"renamed\"");
        return doc + ",\"" + key + "\":" + value + "}";
    };
    const auto order_error = [&](const std::string& key, const std::string& value) {
        const std::string doc = order_with(key, value);
        const auto parsed = parse_document<LimitOrderRequest>(doc);
        return parsed.ok() ? "ok" : parsed.error().message;
    };
    const auto synthetic = [&](const std::string& value) -> i128 {
        return parse_document<LimitOrderRequest>(order_with("asset_id_synthetic", value)).value().asset_id_synthetic;
    };
    EXPECT_EQ(synthetic(R"("0x0x1F")"), 31);
    EXPECT_EQ(synthetic(R"("-1")"), -1);
    EXPECT_EQ(synthetic(R"("0x-1f")"), -31);
    EXPECT_EQ(synthetic(R"("0x+95d9ad91")"), 0x95d9ad91);
    EXPECT_EQ(synthetic(R"("7fffffffffffffffffffffffffffffff")"), static_cast<i128>((u128{1} << 127) - 1));
    EXPECT_EQ(synthetic(R"("-80000000000000000000000000000000")"), static_cast<i128>(u128{1} << 127));
    const std::string hex_fault = "decode hex string error: ";
    EXPECT_EQ(order_error("asset_id_synthetic", R"("-0x1")"), hex_fault + "invalid digit found in string");
    EXPECT_EQ(order_error("asset_id_synthetic", R"("0x")"), hex_fault + "cannot parse integer from empty string");
    EXPECT_EQ(order_error("asset_id_synthetic", R"("-")"), hex_fault + "invalid digit found in string");
    EXPECT_EQ(order_error("asset_id_synthetic", R"("0X1")"), hex_fault + "invalid digit found in string");
    EXPECT_EQ(order_error("asset_id_synthetic", R"("80000000000000000000000000000000")"),
              hex_fault + "number too large to fit in target type");
    EXPECT_EQ(order_error("asset_id_synthetic", R"("-80000000000000000000000000000001")"),
              hex_fault + "number too small to fit in target type");
    EXPECT_EQ(order_error("is_buying_synthetic", R"("true")"),
              R"(invalid type: string "true", expected a boolean)");
    EXPECT_EQ(order_error("is_buying_synthetic", "1"), "invalid type: integer `1`, expected a boolean");
    EXPECT_EQ(order_error("is_buying_synthetic", "[true]"), "invalid type: sequence, expected a boolean");
    EXPECT_EQ(order_error("is_buying_synthetic", "tru"), "expected ident");
    EXPECT_FALSE(parse_document<LimitOrderRequest>(order_with("is_buying_synthetic", "false")).value().is_buying_synthetic);

    const auto oracle_error = [](const std::string& price) {
        const auto parsed = parse_document<SignedOraclePrice>(R"({"signer_key":"0x1","external_price":)" + price +
                                                       R"(,"timestamp":"3","signed_asset_id":"0x4"})");
        return parsed.ok() ? "ok" : parsed.error().message;
    };
    EXPECT_EQ(oracle_error(R"("340282366920938463463374607431768211456")"),
              "decode u128 string error: number too large to fit in target type");
    EXPECT_EQ(oracle_error(R"("x")"), "decode u128 string error: invalid digit found in string");
    const auto oracle =
        parse_document<SignedOraclePrice>(R"(["", "+340282366920938463463374607431768211455", "004294967295", "0x"])");
    ASSERT_TRUE(oracle.ok());
    EXPECT_EQ(oracle.value().external_price, ~u128{0});
    EXPECT_EQ(oracle.value().timestamp, 4294967295u);
    EXPECT_TRUE(oracle.value().signer_key.is_zero());
    EXPECT_EQ(parse_document<SignedOraclePrice>(R"(["0x1", "1", "4294967296", "0x1"])").error().report(),
              "u64 from string error: number too large to fit in target type at line 1 column 25");
}

// How values of the wrong type are named, read directly (own field) and from
// kept members (common order field).
TEST(DocumentEncodings, WrongTypeDescriptions) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"null", "null"},
        {"true", "boolean `true`"},
        {"false", "boolean `false`"},
        {"0", "integer `0`"},
        {"18446744073709551615", "integer `18446744073709551615`"},
        {"-9223372036854775808", "integer `-9223372036854775808`"},
        {"18446744073709551616", "floating point `18446744073709552000.0`"},
        {"-9223372036854775809", "floating point `-9223372036854776000.0`"},
        {"-0", "floating point `-0.0`"},
        {"1e0", "floating point `1.0`"},
        {"1.5", "floating point `1.5`"},
        {"0.1", "floating point `0.1`"},
        {"12.5e-3", "floating point `0.0125`"},
        {"1e-7", "floating point `0.0000001`"},
        {"1e-400", "floating point `0.0`"},
        {"1.5e300", "floating point `15" + std::string(299, '0') + ".0`"},
        {"5e-324", "floating point `0." + std::string(323, '0') + "5`"},
        {R"("a\"b\\c\n\t\r\u0000\u0001\u007f\u0080é😀")",
         "string \"a\\\"b\\\\c\\n\\t\\r\\0\\u{1}\\u{7f}\\u{80}é😀\""},
        {"[1, [2]]", "sequence"},
        {"{\"a\": {}}", "map"},
        // A long string is named by its first 200 characters (not bytes).
        {"\"" + std::string(200, 'b') + "\"", "string \"" + std::string(200, 'b') + "\""},
        {"\"" + std::string(201, 'b') + "\"", "string \"" + std::string(200, 'b') + "…\""},
        {"\"" + repeat("é", 300) + "\"", "string \"" + repeat("é", 200) + "…\""},
        {"\"" + repeat("\\n", 201) + "\"", "string \"" + repeat("\\n", 200) + "…\""},
    };
    for (const auto& [value, description] : cases) {
        // Own field: a boolean, read directly.
        if (value[0] != 't' && value[0] != 'f') {
            std::string own = ORDER_BODY;
            own.replace(own.find("\"is_buying_synthetic\""), 21, "\"other\"");
            own += ",\"is_buying_synthetic\":" + value;
            const bool container = value[0] == '[' || value[0] == '{';
            const std::size_t column = own.size() - (container ? value.size() : 0);
            EXPECT_EQ(outcome(parse_document<LimitOrderRequest>(own + " }")), "invalid type: " + description +
                                                                          ", expected a boolean at line 1 column " +
                                                                          std::to_string(column));
        }
        // Common order field: a string, read from a kept member, reported at the closing brace.
        if (value[0] != '"') {
            std::string common = WITHDRAW_BODY;
            common.replace(common.find("\"nonce\""), 7, "\"other\"");
            common += ",\"nonce\":" + value + "}";
            EXPECT_EQ(withdraw_outcome(common), "invalid type: " + description + ", expected a string at line 1 column " +
                                                    std::to_string(common.size()));
        }
        // The record itself.
        if (value[0] != '{') {
            EXPECT_EQ(parse_document<LimitOrderRequest>(value).error().message,
                      "invalid type: " + description + ", expected struct LimitOrderRequest");
        }
    }
    EXPECT_EQ(outcome(parse_document<Transfer>("[]")), "invalid type: sequence, expected struct Transfer at line 1 column 0");
    EXPECT_EQ(outcome(parse_document<Liquidate>(" \"x\" ")), R"(invalid type: string "x", expected struct Liquidate at line 1 column 4)");
    EXPECT_EQ(oracle_outcome("-1"), "invalid type: integer `-1`, expected struct SignedOraclePrice at line 1 column 2");
    EXPECT_EQ(outcome(parse_document<LimitOrderRequest>("true")),
              "invalid type: boolean `true`, expected struct LimitOrderRequest at line 1 column 4");
}

TEST(DocumentRecords, ReportingOrder) {
    const std::string own_missing = R"({"position_id":"1","eth_address":"0x3","asset_id":"0x4"})";
    expect_cases(
        {
            // An object without "nonce" and "amount" lacks its own field first.
            {R"({"position_id":"1","eth_address":"0x3","asset_id":"0x4","public_key":"1","expiration_timestamp":"1"})",
             "missing field `amount` at line 1 column 100"},
            {own_missing, "missing field `amount` at line 1 column 56"},
            // A faulty member value comes before anything missing, even after a common fault.
            {R"({"nonce":"x","amount":"x"})", "u64 from string error: invalid digit found in string at line 1 column 25"},
            // Own repeats are reported at once; common repeats at the closing brace.
            {R"({"amount":"1","nonce":"1","nonce":"1","amount" :"2"})", "duplicate field `amount` at line 1 column 47"},
            {WITHDRAW_BODY + R"(,"nonce":"1"})", "duplicate field `nonce` at line 1 column 139"},
            {WITHDRAW_BODY + R"(,"nonce":"x"})", "duplicate field `nonce` at line 1 column 139"},
            // Common order fields: the first fault in document order, then what is missing, in order.
            {WITHDRAW_OWN + R"(,"public_key":"zz","nonce":"x"})",
             "Invalid character 'z' at position 0 at line 1 column 99"},
            {WITHDRAW_OWN + R"(,"expiration_timestamp":"1","public_key":"1"})",
             "missing field `nonce` at line 1 column 113"},
            {WITHDRAW_OWN + R"(,"expiration_timestamp":"1","nonce":"1"})",
             "missing field `public_key` at line 1 column 108"},
            {WITHDRAW_OWN + R"(})", "missing field `nonce` at line 1 column 69"},
            // A nested "base" object is just an unknown member; keys compare after unescaping.
            {WITHDRAW_OWN + R"(,"base":{"nonce":"5","public_key":"6","expiration_timestamp":"7"}})",
             "missing field `nonce` at line 1 column 134"},
            {WITHDRAW_OWN + R"(,"non\u0063e":"5","public_key":"6","expiration_timestamp":"7"})", "ok"},
            {WITHDRAW_OWN + R"(,"Nonce":"5","public_key":"6","expiration_timestamp":"7"})",
             "missing field `nonce` at line 1 column 125"},
            // Unknown members may repeat and hold anything.
            {WITHDRAW_BODY + R"(,"x":[1,{"a":null}],"x":"\ud83d\ude00","y":-1.5e-3,"x":{}})", "ok"},
        },
        withdraw_outcome);
}

TEST(DocumentRecords, KindsDecodeTheirFields) {
    const auto transfer = parse_document<Transfer>(TRANSFER_BODY + "}");
    ASSERT_TRUE(transfer.ok());
    EXPECT_EQ(transfer.value().sender_position_id, 1u);
    EXPECT_EQ(transfer.value().receiver_public_key, U256::from_u64(2));
    EXPECT_EQ(transfer.value().receiver_position_id, 3u);
    EXPECT_EQ(transfer.value().amount, 4u);
    EXPECT_EQ(transfer.value().asset_id, U256::from_u64(5));
    EXPECT_EQ(transfer.value().base.nonce, 6u);
    EXPECT_EQ(transfer.value().base.public_key, U256::from_u64(7));
    EXPECT_EQ(transfer.value().base.expiration_timestamp, 8u);

    const auto order = parse_document<LimitOrderRequest>(ORDER_BODY + "}");
    ASSERT_TRUE(order.ok());
    EXPECT_EQ(order.value().amount_fee, 3u);
    EXPECT_EQ(order.value().asset_id_synthetic, 4);
    EXPECT_EQ(order.value().asset_id_collateral, U256::from_u64(5));
    EXPECT_TRUE(order.value().is_buying_synthetic);
    EXPECT_EQ(order.value().base.public_key, U256::from_u64(8));

    const std::string liquidate_tail = R"("liquidated_position_id":"10","actual_collateral":"11",)"
                                       R"("actual_synthetic":"12","actual_liquidator_fee":"13"})";
    const auto liquidate = parse_document<Liquidate>(R"({"liquidator_order":)" + ORDER_BODY + "}," + liquidate_tail);
    ASSERT_TRUE(liquidate.ok());
    EXPECT_EQ(liquidate.value().liquidator_order.position_id, 6u);
    EXPECT_EQ(liquidate.value().liquidator_order.base.expiration_timestamp, 9u);
    EXPECT_EQ(liquidate.value().actual_liquidator_fee, 13u);
    // Faults inside the nested order are positioned within it.
    EXPECT_EQ(outcome(parse_document<Liquidate>(R"({"liquidator_order":{"amount_fee":"1"}, "x":1})")),
              "missing field `amount_synthetic` at line 1 column 38");
    EXPECT_EQ(outcome(parse_document<Liquidate>(R"({"liquidator_order":[]})")),
              "invalid type: sequence, expected struct LimitOrderRequest at line 1 column 20");
    EXPECT_EQ(outcome(parse_document<Liquidate>(R"({})")), "missing field `liquidator_order` at line 1 column 2");

    const auto oracle = parse_document<SignedOraclePrice>(ORACLE_BODY + R"(,"extra":[{"nonce":[]}]})");
    ASSERT_TRUE(oracle.ok());
    EXPECT_EQ(oracle.value().signed_asset_id, U256::from_u64(4));
}

TEST(DocumentRecords, ArrayForms) {
    const std::string order = ORDER_BODY + "}";
    const auto liquidate_outcome = [](const std::string& doc) { return outcome(parse_document<Liquidate>(doc)); };
    EXPECT_EQ(liquidate_outcome("[" + order + ", \"1\", \"2\", \"3\", \"4\"]"), "ok");
    const std::size_t order_end = order.size() + 1;  // the column just after the order
    EXPECT_EQ(liquidate_outcome("[" + order + ", \"1\", \"2\", \"3\"]"),
              "invalid length 4, expected struct Liquidate with 5 elements at line 1 column " +
                  std::to_string(order_end + 16));
    EXPECT_EQ(liquidate_outcome("[" + order + ", \"1\", \"2\", \"3\", \"4\", \"5\"]"),
              "trailing characters at line 1 column " + std::to_string(order_end + 23));
    EXPECT_EQ(liquidate_outcome("[" + order + ", \"1\", \"2\", \"3\", \"4\" , ]"),
              "trailing comma at line 1 column " + std::to_string(order_end + 24));
    EXPECT_EQ(liquidate_outcome("[" + order + ", \"1\", \"2\", \"3\", \"4\" x"),
              "trailing characters at line 1 column " + std::to_string(order_end + 22));
    EXPECT_EQ(liquidate_outcome("[" + order + ", \"1\", \"2\", \"3\", \"4\""),
              "EOF while parsing a list at line 1 column " + std::to_string(order_end + 20));
    EXPECT_EQ(liquidate_outcome("[]"), "invalid length 0, expected struct Liquidate with 5 elements at line 1 column 2");
    EXPECT_EQ(liquidate_outcome("[[]]"), "invalid type: sequence, expected struct LimitOrderRequest at line 1 column 1");
    expect_cases(
        {
            {R"(["1","2"  ])", "invalid length 2, expected struct SignedOraclePrice with 4 elements at line 1 column 11"},
            {R"(["1","2","3","4"])", "ok"},
            {R"(["1","2",])", "trailing comma at line 1 column 10"},
            {R"(["1" "2"])", "expected `,` or `]` at line 1 column 6"},
            {R"(["1",)", "EOF while parsing a value at line 1 column 5"},
            {R"(["1")", "EOF while parsing a list at line 1 column 4"},
            {R"([,"1"])", "expected value at line 1 column 2"},
            {R"(["zz" , "2"])", "Invalid character 'z' at position 0 at line 1 column 6"},
            {R"(["1",2])", "invalid type: integer `2`, expected a string at line 1 column 6"},
        },
        oracle_outcome);
}

std::string nested(std::size_t depth, const std::string& inner = "") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

TEST(DocumentNesting, KeptValuesStopAtLevel127) {
    // The record's object is level 1: 126 arrays inside it reach level 127.
    EXPECT_EQ(withdraw_outcome(WITHDRAW_BODY + ",\"x\":" + nested(126) + "}"), "ok");
    EXPECT_EQ(withdraw_outcome(WITHDRAW_BODY + ",\"x\":" + nested(127) + "}"),
              "recursion limit exceeded at line 1 column " + std::to_string(WITHDRAW_BODY.size() + 5 + 127));
    EXPECT_EQ(withdraw_outcome(WITHDRAW_BODY + ",\"nonce\":" + nested(127) + "}"),
              "recursion limit exceeded at line 1 column " + std::to_string(WITHDRAW_BODY.size() + 9 + 127));
    // Inside a liquidation's order (level 2) one level less is left.
    const std::string tail = R"(,"liquidated_position_id":"1","actual_collateral":"1","actual_synthetic":"1","actual_liquidator_fee":"1"})";
    const std::string head = R"({"liquidator_order":)" + ORDER_BODY + ",\"x\":";
    EXPECT_EQ(outcome(parse_document<Liquidate>(head + nested(125) + "}" + tail)), "ok");
    EXPECT_EQ(outcome(parse_document<Liquidate>(head + nested(126) + "}" + tail)),
              "recursion limit exceeded at line 1 column " + std::to_string(head.size() + 126));
}

TEST(DocumentNesting, DroppedMembersHaveNoDepthLimit) {
    constexpr std::size_t DEPTH = 1'000'000;
    const std::string deep = "{\"a\":" + nested(DEPTH) + ",\"b\":[{}]}";
    EXPECT_EQ(oracle_outcome(ORACLE_BODY + ",\"x\":" + deep + "}"), "ok");
    const std::string liquidate = R"({"x":)" + deep + R"(,"liquidator_order":)" + ORDER_BODY +
                                  R"(},"liquidated_position_id":"1","actual_collateral":"1","actual_synthetic":"1","actual_liquidator_fee":"1"})";
    EXPECT_EQ(outcome(parse_document<Liquidate>(liquidate)), "ok");
    // Still checked to the end.
    EXPECT_EQ(oracle_outcome(ORACLE_BODY + ",\"x\":" + nested(DEPTH - 1) + "]}"),
              "expected `,` or `}` at line 1 column " + std::to_string(ORACLE_BODY.size() + 5 + 2 * DEPTH - 1));
    EXPECT_EQ(oracle_outcome(ORACLE_BODY + ",\"x\":" + std::string(DEPTH, '[')),
              "EOF while parsing a list at line 1 column " + std::to_string(ORACLE_BODY.size() + 5 + DEPTH));
}

TEST(DocumentStrings, EscapesAndUtf8) {
    // A surrogate pair and raw UTF-8 come through byte for byte (seen in the message).
    const std::string doc = WITHDRAW_BODY + R"(,"asset_id":"\ud83d\ude00é\/\b\f"})";
    std::string renamed = doc;
    renamed.replace(renamed.find("\"asset_id\""), 10, "\"other\"");
    EXPECT_EQ(parse_document<WithdrawRequest>(renamed).error().message,
              "u256 from string error: Invalid character '\xc3\xb0' at position 1");
    EXPECT_EQ(parse_document<WithdrawRequest>(WITHDRAW_OWN + R"(,"nonce":"\ud83d\ude00\u00e9",)"
                                                     R"("public_key":"1","expiration_timestamp":"1"})")
                  .error()
                  .message,
              "u64 from string error: invalid digit found in string");
    EXPECT_EQ(withdraw_outcome(WITHDRAW_BODY + ",\"\xf0\x9f\x98\x80 \xe2\x82\xac\":\"\\u20AC\\\"\"}"), "ok");
}

TEST(DocumentErrors, HowCallersSeeThem) {
    const auto withdraw = parse_document<WithdrawRequest>(WITHDRAW_OWN + "}");
    ASSERT_FALSE(withdraw.ok());
    EXPECT_EQ(withdraw.error().report(), "missing field `nonce` at line 1 column 69");
    EXPECT_EQ(parse_document<Liquidate>("[]").error().causes.size(), 0u);
    EXPECT_TRUE(parse_document<SignedOraclePrice>(ORACLE_BODY + "}").ok());
    EXPECT_TRUE(parse_document<LimitOrderRequest>(ORDER_BODY + "}").ok());

    std::string missing_nonce = TRANSFER_BODY + "}";
    missing_nonce.replace(missing_nonce.find("\"nonce\""), 7, "\"other\"");
    try {
        parse_document_or_abort<Transfer>(missing_nonce);
        FAIL() << "no abort";
    } catch (const Abort& abort) {
        EXPECT_EQ(abort.message(), "called `Result::unwrap()` on an `Err` value: Error(\"missing field `nonce`\", "
                                   "line: 1, column: " + std::to_string(missing_nonce.size()) + ")");
    }
    try {
        parse_document_or_abort<Transfer>("\n\"a\\\"\\\\\\u0001\"");
        FAIL() << "no abort";
    } catch (const Abort& abort) {
        EXPECT_EQ(abort.message(),
                  "called `Result::unwrap()` on an `Err` value: "
                  R"(Error("invalid type: string \"a\\\"\\\\\\u{1}\", expected struct Transfer", line: 2, column: 13))");
    }
    EXPECT_EQ(parse_document_or_abort<Transfer>(TRANSFER_BODY + "}").amount, 4u);
}

}  // namespace
}  // namespace lumora::sdk
