#include "sdk/documents.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <variant>

#include "common/hex.h"

namespace lumora::sdk {

namespace {

using json::Reader;
using json::Summary;

// How a field travels in JSON.
enum class Encoding {
    U64AsString,                  // decimal digits in a string
    U32AsString,                  // the same, 32 bits, with the 64-bit wording
    U128AsString,                 // the same, 128 bits
    I128AsRadix16Prefix0xString,  // signed hexadecimal, leading "0x"s removed
    U256AsRadix16Prefix0xString,  // U256 radix-16 form
    PackedPublicKey,              // U256 radix-16 form, its message unprefixed
    Boolean,                      // a JSON literal
    Order,                        // a nested LimitOrderRequest object
};

template <class R>
using Slot = std::variant<std::uint64_t R::*, std::uint32_t R::*, u128 R::*, i128 R::*, U256 R::*, bool R::*,
                          LimitOrderRequest R::*>;

template <class R>
struct FieldRule {
    std::string_view key;
    Encoding encoding;
    Slot<R> slot;
};

// Per record: its name in messages, whether it carries the common order fields
// and whether it may come as an array, and its own fields in declaration order.
template <class R>
struct Layout;

template <>
struct Layout<OrderBase> {
    static constexpr std::array<FieldRule<OrderBase>, 3> fields{{
        {"nonce", Encoding::U64AsString, &OrderBase::nonce},
        {"public_key", Encoding::PackedPublicKey, &OrderBase::public_key},
        {"expiration_timestamp", Encoding::U32AsString, &OrderBase::expiration_timestamp},
    }};
};

template <>
struct Layout<Transfer> {
    static constexpr std::string_view name = "Transfer";
    static constexpr bool has_base = true;
    static constexpr bool accepts_array = false;
    static constexpr std::array<FieldRule<Transfer>, 5> fields{{
        {"sender_position_id", Encoding::U64AsString, &Transfer::sender_position_id},
        {"receiver_public_key", Encoding::PackedPublicKey, &Transfer::receiver_public_key},
        {"receiver_position_id", Encoding::U64AsString, &Transfer::receiver_position_id},
        {"amount", Encoding::U64AsString, &Transfer::amount},
        {"asset_id", Encoding::U256AsRadix16Prefix0xString, &Transfer::asset_id},
    }};
};

template <>
struct Layout<WithdrawRequest> {
    static constexpr std::string_view name = "WithdrawRequest";
    static constexpr bool has_base = true;
    static constexpr bool accepts_array = false;
    static constexpr std::array<FieldRule<WithdrawRequest>, 4> fields{{
        {"position_id", Encoding::U64AsString, &WithdrawRequest::position_id},
        {"amount", Encoding::U64AsString, &WithdrawRequest::amount},
        {"eth_address", Encoding::PackedPublicKey, &WithdrawRequest::eth_address},
        {"asset_id", Encoding::U256AsRadix16Prefix0xString, &WithdrawRequest::asset_id},
    }};
};

template <>
struct Layout<LimitOrderRequest> {
    static constexpr std::string_view name = "LimitOrderRequest";
    static constexpr bool has_base = true;
    static constexpr bool accepts_array = false;
    static constexpr std::array<FieldRule<LimitOrderRequest>, 7> fields{{
        {"amount_synthetic", Encoding::U64AsString, &LimitOrderRequest::amount_synthetic},
        {"amount_collateral", Encoding::U64AsString, &LimitOrderRequest::amount_collateral},
        {"amount_fee", Encoding::U64AsString, &LimitOrderRequest::amount_fee},
        {"asset_id_synthetic", Encoding::I128AsRadix16Prefix0xString, &LimitOrderRequest::asset_id_synthetic},
        {"asset_id_collateral", Encoding::U256AsRadix16Prefix0xString, &LimitOrderRequest::asset_id_collateral},
        {"position_id", Encoding::U64AsString, &LimitOrderRequest::position_id},
        {"is_buying_synthetic", Encoding::Boolean, &LimitOrderRequest::is_buying_synthetic},
    }};
};

template <>
struct Layout<Liquidate> {
    static constexpr std::string_view name = "Liquidate";
    static constexpr bool has_base = false;
    static constexpr bool accepts_array = true;
    static constexpr std::array<FieldRule<Liquidate>, 5> fields{{
        {"liquidator_order", Encoding::Order, &Liquidate::liquidator_order},
        {"liquidated_position_id", Encoding::U64AsString, &Liquidate::liquidated_position_id},
        {"actual_collateral", Encoding::U64AsString, &Liquidate::actual_collateral},
        {"actual_synthetic", Encoding::U64AsString, &Liquidate::actual_synthetic},
        {"actual_liquidator_fee", Encoding::U64AsString, &Liquidate::actual_liquidator_fee},
    }};
};

template <>
struct Layout<SignedOraclePrice> {
    static constexpr std::string_view name = "SignedOraclePrice";
    static constexpr bool has_base = false;
    static constexpr bool accepts_array = true;
    static constexpr std::array<FieldRule<SignedOraclePrice>, 4> fields{{
        {"signer_key", Encoding::PackedPublicKey, &SignedOraclePrice::signer_key},
        {"external_price", Encoding::U128AsString, &SignedOraclePrice::external_price},
        {"timestamp", Encoding::U32AsString, &SignedOraclePrice::timestamp},
        {"signed_asset_id", Encoding::U256AsRadix16Prefix0xString, &SignedOraclePrice::signed_asset_id},
    }};
};

// Integer text failures, worded as callers have always seen them.
constexpr std::string_view EMPTY_TEXT = "cannot parse integer from empty string";
constexpr std::string_view INVALID_DIGIT = "invalid digit found in string";
constexpr std::string_view TOO_LARGE = "number too large to fit in target type";
constexpr std::string_view TOO_SMALL = "number too small to fit in target type";

// Unsigned decimal text of at most `max`: one optional '+', then digits 0-9,
// leading zeros allowed. Returns the failure, or an empty view. The first
// fault in reading order wins; overflow is found at the digit that overflows.
std::string_view parse_unsigned_decimal(std::string_view text, u128 max, u128& out) {
    if (text.empty()) return EMPTY_TEXT;
    if (text.size() == 1 && (text[0] == '+' || text[0] == '-')) return INVALID_DIGIT;
    if (text[0] == '+') text.remove_prefix(1);
    u128 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return INVALID_DIGIT;
        const auto d = static_cast<u128>(c - '0');
        if (value > (max - d) / 10) return TOO_LARGE;
        value = value * 10 + d;
    }
    out = value;
    return {};
}

// Signed hexadecimal text: every leading lowercase "0x" removed, then an
// optional sign and hexadecimal digits. "-0x1" keeps its "x" and fails.
std::string_view parse_signed_hex(std::string_view text, i128& out) {
    text = hex::strip_prefixes_var(text, "0x");
    if (text.empty()) return EMPTY_TEXT;
    if (text.size() == 1 && (text[0] == '+' || text[0] == '-')) return INVALID_DIGIT;
    const bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
    const u128 limit = negative ? u128{1} << 127 : (u128{1} << 127) - 1;
    u128 magnitude = 0;
    for (const char c : text) {
        const hex::Digit digit = hex::digit_value(static_cast<unsigned char>(c));
        if (!digit.valid) return INVALID_DIGIT;
        const auto d = static_cast<u128>(digit.value);
        if (magnitude > (limit - d) / 16) return negative ? TOO_SMALL : TOO_LARGE;
        magnitude = magnitude * 16 + d;
    }
    // Modular conversion: 2^127 negated is the minimum itself.
    out = negative ? static_cast<i128>(u128{0} - magnitude) : static_cast<i128>(magnitude);
    return {};
}

std::string with_prefix(std::string_view prefix, std::string_view failure) {
    std::string out(prefix);
    out += failure;
    return out;
}

// Decodes the text of a string-encoded field into the record; returns the
// failure message, if any.
template <class R>
std::optional<std::string> decode_text(const FieldRule<R>& field, std::string_view text, R& record) {
    constexpr u128 U64_MAX = std::numeric_limits<std::uint64_t>::max();
    constexpr u128 U32_MAX = std::numeric_limits<std::uint32_t>::max();
    constexpr u128 U128_MAX = std::numeric_limits<u128>::max();
    u128 value = 0;
    switch (field.encoding) {
        case Encoding::U64AsString:
            if (auto f = parse_unsigned_decimal(text, U64_MAX, value); !f.empty())
                return with_prefix("u64 from string error: ", f);
            record.*std::get<std::uint64_t R::*>(field.slot) = static_cast<std::uint64_t>(value);
            return std::nullopt;
        case Encoding::U32AsString:
            if (auto f = parse_unsigned_decimal(text, U32_MAX, value); !f.empty())
                return with_prefix("u64 from string error: ", f);
            record.*std::get<std::uint32_t R::*>(field.slot) = static_cast<std::uint32_t>(value);
            return std::nullopt;
        case Encoding::U128AsString:
            if (auto f = parse_unsigned_decimal(text, U128_MAX, value); !f.empty())
                return with_prefix("decode u128 string error: ", f);
            record.*std::get<u128 R::*>(field.slot) = value;
            return std::nullopt;
        case Encoding::I128AsRadix16Prefix0xString: {
            i128 signed_value = 0;
            if (auto f = parse_signed_hex(text, signed_value); !f.empty())
                return with_prefix("decode hex string error: ", f);
            record.*std::get<i128 R::*>(field.slot) = signed_value;
            return std::nullopt;
        }
        case Encoding::U256AsRadix16Prefix0xString:
        case Encoding::PackedPublicKey: {
            auto parsed = U256::from_str_radix16(text);
            if (!parsed.ok()) {
                if (field.encoding == Encoding::PackedPublicKey) return parsed.error().message;
                return with_prefix("u256 from string error: ", parsed.error().message);
            }
            record.*std::get<U256 R::*>(field.slot) = parsed.value();
            return std::nullopt;
        }
        case Encoding::Boolean:
        case Encoding::Order: break;
    }
    return "unexpected field encoding";
}

template <class R, std::size_t N>
std::size_t find_field(const std::array<FieldRule<R>, N>& fields, std::string_view key) {
    for (std::size_t i = 0; i < N; ++i)
        if (fields[i].key == key) return i;
    return N;
}

std::string field_message(std::string_view what, std::string_view key) {
    std::string out(what);
    out += " `";
    out += key;
    out += '`';
    return out;
}

std::string expected_struct(std::string_view name) { return "struct " + std::string(name); }

// The common order fields found among the members of a record that carries
// them: which were seen, and the first fault, which is reported only once the
// record's own fields are complete.
struct OrderBaseState {
    std::array<bool, 3> seen{};
    std::optional<std::string> fault;
};

template <class R>
bool decode_record(Reader& in, R& record, std::size_t level);

// A member value (or array element) of one of the record's own fields; the
// cursor is after the colon or comma. `level` is the record's own level.
template <class R>
bool read_member(Reader& in, const FieldRule<R>& field, R& record, std::size_t level) {
    const int c = in.peek_token();
    if (c < 0) return in.fail_at_next("EOF while parsing a value");
    if (field.encoding == Encoding::Order)
        return decode_record(in, record.*std::get<LimitOrderRequest R::*>(field.slot), level + 1);
    if (field.encoding == Encoding::Boolean) {
        if (c != 't' && c != 'f') return in.fail_invalid_type("a boolean");
        Summary literal;
        if (!in.read_literal(literal)) return false;
        record.*std::get<bool R::*>(field.slot) = literal.boolean;
        return true;
    }
    if (c != '"') return in.fail_invalid_type("a string");
    std::string_view text;
    if (!in.read_string(text)) return false;
    if (auto failure = decode_text(field, text, record)) {
        // Reported just after the value and the whitespace that follows it.
        in.skip_whitespace();
        return in.fail_here(std::move(*failure));
    }
    return true;
}

// A member that is not one of the record's own fields, in a record that keeps
// such members for its common order fields: the value counts towards the
// nesting limit, and a common order field (`common` indexes them; past the
// end for any other key) is decoded, its fault kept for later.
bool keep_member(Reader& in, std::size_t common, OrderBase& base, OrderBaseState& state, std::size_t level) {
    constexpr auto& fields = Layout<OrderBase>::fields;
    if (common >= fields.size()) return in.skip_value(level, Reader::MAX_DEPTH);
    Summary value;
    if (!in.read_summary(value, level, Reader::MAX_DEPTH)) return false;
    if (state.fault) return true;
    if (state.seen[common]) {
        state.fault = field_message("duplicate field", fields[common].key);
        return true;
    }
    state.seen[common] = true;
    if (value.kind != Summary::Kind::String) {
        state.fault = "invalid type: " + json::describe(value) + ", expected a string";
    } else {
        state.fault = decode_text(fields[common], value.text, base);
    }
    return true;
}

// The members of an object record; the cursor is past the '{'.
template <class R>
bool decode_members(Reader& in, R& record, std::size_t level) {
    constexpr auto& fields = Layout<R>::fields;
    std::array<bool, fields.size()> seen{};
    [[maybe_unused]] OrderBaseState base;
    for (bool first = true;; first = false) {
        int c = in.peek_token();
        if (c == '}') break;
        if (c < 0) return in.fail_at_next("EOF while parsing an object");
        if (!first) {
            if (c != ',') return in.fail_at_next("expected `,` or `}`");
            in.advance();
            c = in.peek_token();
            if (c == '}') return in.fail_at_next("trailing comma");
            if (c < 0) return in.fail_at_next("EOF while parsing a value");
        }
        if (c != '"') return in.fail_at_next("key must be a string");
        std::string_view key;
        if (!in.read_string(key)) return false;
        if (const std::size_t own = find_field(fields, key); own < fields.size()) {
            if (seen[own]) {
                in.skip_whitespace();
                return in.fail_here(field_message("duplicate field", fields[own].key));
            }
            seen[own] = true;
            if (!in.read_colon() || !read_member(in, fields[own], record, level)) return false;
        } else if constexpr (Layout<R>::has_base) {
            const std::size_t common = find_field(Layout<OrderBase>::fields, key);
            if (!in.read_colon() || !keep_member(in, common, record.base, base, level)) return false;
        } else {
            if (!in.read_colon() || !in.skip_value(level, Reader::UNLIMITED)) return false;
        }
    }
    in.advance();  // the closing brace: every fault below is reported there
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!seen[i]) return in.fail_here(field_message("missing field", fields[i].key));
    if constexpr (Layout<R>::has_base) {
        if (base.fault) return in.fail_here(std::move(*base.fault));
        for (std::size_t i = 0; i < base.seen.size(); ++i)
            if (!base.seen[i]) return in.fail_here(field_message("missing field", Layout<OrderBase>::fields[i].key));
    }
    return true;
}

// The elements of an array record, in field order; the cursor is past the '['.
template <class R>
bool decode_elements(Reader& in, R& record, std::size_t level) {
    constexpr auto& fields = Layout<R>::fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        int c = in.peek_token();
        if (c == ']') {
            in.advance();
            return in.fail_here("invalid length " + std::to_string(i) + ", expected " + expected_struct(Layout<R>::name) +
                                " with " + std::to_string(fields.size()) + " elements");
        }
        if (c < 0) return in.fail_at_next("EOF while parsing a list");
        if (i > 0) {
            if (c != ',') return in.fail_at_next("expected `,` or `]`");
            in.advance();
            c = in.peek_token();
            if (c == ']') return in.fail_at_next("trailing comma");
            if (c < 0) return in.fail_at_next("EOF while parsing a value");
        }
        if (!read_member(in, fields[i], record, level)) return false;
    }
    const int c = in.peek_token();
    if (c == ']') {
        in.advance();
        return true;
    }
    if (c < 0) return in.fail_at_next("EOF while parsing a list");
    if (c == ',') {
        in.advance();
        if (in.peek_token() == ']') return in.fail_at_next("trailing comma");
    }
    // Positioned at the first byte of the first element too many.
    return in.fail_at_next("trailing characters");
}

// A record from the next value; `level` is the nesting level its object or
// array opens (the document's own record is level 1).
template <class R>
bool decode_record(Reader& in, R& record, std::size_t level) {
    const int c = in.peek_token();
    if (c < 0) return in.fail_at_next("EOF while parsing a value");
    if (c == '{' || (c == '[' && Layout<R>::accepts_array)) {
        if (level > Reader::MAX_DEPTH) return in.fail_at_next("recursion limit exceeded");
        in.advance();
        if (c == '{') return decode_members(in, record, level);
        if constexpr (Layout<R>::accepts_array) return decode_elements(in, record, level);
    }
    return in.fail_invalid_type(expected_struct(Layout<R>::name));
}

template <class R>
Result<R> decode_document(std::string_view text) {
    Reader in(text);
    R record{};
    if (!decode_record(in, record, 1)) return in.error();
    if (in.peek_token() >= 0) {
        in.fail_at_next("trailing characters");
        return in.error();
    }
    return record;
}

}  // namespace

template <class Record>
Result<Record> parse_document(std::string_view json) {
    return decode_document<Record>(json);
}

template <class Record>
Record parse_document_or_abort(std::string_view json) {
    auto parsed = decode_document<Record>(json);
    if (!parsed.ok()) abort_with("called `Result::unwrap()` on an `Err` value: " + json::debug_form(parsed.error()));
    return std::move(parsed).value();
}

#define LUMORA_SDK_DOCUMENT_DECODERS(stem, record, ...)                    \
    template Result<record> parse_document<record>(std::string_view json); \
    template record parse_document_or_abort<record>(std::string_view json);
LUMORA_SDK_DOCUMENT_KINDS(LUMORA_SDK_DOCUMENT_DECODERS)
#undef LUMORA_SDK_DOCUMENT_DECODERS

}  // namespace lumora::sdk
