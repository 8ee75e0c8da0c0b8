#include "json/reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include "common/hex.h"
#include "common/text.h"

namespace lumora::json {

namespace {

bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Decimal exponent of the leading non-zero digit of a number token that is
// known not to be zero: decides whether a value out of a double's range is
// too large or too small. Saturates far beyond any double's exponent.
long long leading_exponent(std::string_view token) {
    if (!token.empty() && token.front() == '-') token.remove_prefix(1);
    long long lead = 0;
    bool found = false;
    std::size_t i = 0;
    std::size_t int_digits = 0;
    while (i < token.size() && is_digit(token[i])) ++i, ++int_digits;
    for (std::size_t k = 0; k < int_digits && !found; ++k) {
        if (token[k] != '0') {
            lead = static_cast<long long>(int_digits - k - 1);
            found = true;
        }
    }
    if (i < token.size() && token[i] == '.') {
        ++i;
        for (long long k = 1; i < token.size() && is_digit(token[i]); ++i, ++k) {
            if (!found && token[i] != '0') {
                lead = -k;
                found = true;
            }
        }
    }
    long long exponent = 0;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
        for (; i < token.size(); ++i) {
            if (exponent < 1'000'000'000'000LL) exponent = exponent * 10 + (token[i] - '0');
        }
        if (negative) exponent = -exponent;
    }
    // Both terms are bounded by about 10^12 plus the token length.
    return lead + exponent;
}

}  // namespace

std::string debug_form(const Error& error) {
    const TextPosition at = error.position.value_or(TextPosition{});
    return "Error(" + text::quote_debug(error.message) + ", line: " + std::to_string(at.line) + ", column: " +
           std::to_string(at.column) + ")";
}

std::string format_float(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // Scientific notation with no precision gives the shortest round-trip digits.
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
    std::string out;
    std::size_t i = 0;
    if (sci[i] == '-') {
        out.push_back('-');
        ++i;
    }
    std::string digits;
    for (; i < sci.size() && sci[i] != 'e'; ++i)
        if (sci[i] != '.') digits.push_back(sci[i]);
    int exponent = 0;
    std::from_chars(sci.data() + i + 1 + (sci[i + 1] == '+'), sci.data() + sci.size(), exponent);
    if (exponent >= 0) {
        const auto int_len = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= int_len) {
            out += digits;
            out.append(int_len - digits.size(), '0');
            out += ".0";
        } else {
            out.append(digits, 0, int_len);
            out.push_back('.');
            out.append(digits, int_len, std::string::npos);
        }
    } else {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    }
    return out;
}

std::string describe(const Summary& value) {
    switch (value.kind) {
        case Summary::Kind::Null: return "null";
        case Summary::Kind::Boolean: return value.boolean ? "boolean `true`" : "boolean `false`";
        case Summary::Kind::Number:
            switch (value.number.kind) {
                case Number::Kind::Unsigned: return "integer `" + std::to_string(value.number.u) + "`";
                case Number::Kind::Signed: return "integer `" + std::to_string(value.number.i) + "`";
                case Number::Kind::Float: return "floating point `" + format_float(value.number.f) + "`";
            }
            break;
        case Summary::Kind::String: return "string " + text::quote_debug(text::echo_excerpt(value.text));
        case Summary::Kind::Sequence: return "sequence";
        case Summary::Kind::Map: return "map";
    }
    return "unknown";
}

void Reader::skip_whitespace() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c != ' ' && c != '\n' && c != '\t' && c != '\r') break;
        ++pos_;
    }
}

int Reader::peek_token() {
    skip_whitespace();
    return peek();
}

bool Reader::fail_here(std::string message) {
    if (failed_) return false;
    failed_ = true;
    const std::size_t index = std::min(pos_, text_.size());
    const std::string_view read = text_.substr(0, index);
    const std::size_t last_newline = read.rfind('\n');
    const std::size_t line_start = last_newline == std::string_view::npos ? 0 : last_newline + 1;
    error_.message = std::move(message);
    error_.position = TextPosition{1 + static_cast<std::size_t>(std::count(read.begin(), read.begin() + line_start, '\n')),
                                   index - line_start};
    return false;
}

bool Reader::fail_at_next(std::string message) {
    if (pos_ < text_.size()) ++pos_;
    return fail_here(std::move(message));
}

bool Reader::read_string(std::string_view& out) {
    ++pos_;  // the opening quote
    const std::size_t start = pos_;
    std::size_t run = start;  // start of the bytes not yet copied to scratch
    bool escaped = false;
    const std::size_t n = text_.size();
    for (;;) {
        while (pos_ < n) {
            const auto c = static_cast<unsigned char>(text_[pos_]);
            if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
            ++pos_;
        }
        if (pos_ >= n) return fail_here("EOF while parsing a string");
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c == '"') {
            if (escaped) {
                scratch_.append(text_.substr(run, pos_ - run));
                out = scratch_;
            } else {
                out = text_.substr(start, pos_ - start);
            }
            ++pos_;
            return true;
        }
        if (c == '\\') {
            if (!escaped) {
                scratch_.clear();
                escaped = true;
            }
            scratch_.append(text_.substr(run, pos_ - run));
            ++pos_;
            if (!read_escape()) return false;
            run = pos_;
            continue;
        }
        if (c >= 0x80) {
            if (!skip_utf8_sequence()) return false;
            continue;
        }
        return fail_at_next("control character (\\u0000-\\u001F) found while parsing a string");
    }
}

// Raw text inside strings must be well-formed UTF-8 (RFC 3629): no overlong
// forms, no surrogates, nothing above U+10FFFF.
bool Reader::skip_utf8_sequence() {
    const auto lead = static_cast<unsigned char>(text_[pos_]);
    int continuation = 0;
    unsigned char low = 0x80, high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        continuation = 1;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        continuation = 2;
        if (lead == 0xe0) low = 0xa0;
        if (lead == 0xed) high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        continuation = 3;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;
    } else {
        return fail_at_next("invalid unicode code point");
    }
    ++pos_;
    for (int k = 0; k < continuation; ++k) {
        const int c = peek();
        if (c < 0) return fail_here("EOF while parsing a string");
        if (c < low || c > high) return fail_at_next("invalid unicode code point");
        low = 0x80;
        high = 0xbf;
        ++pos_;
    }
    return true;
}

bool Reader::read_hex4(std::uint32_t& unit) {
    unit = 0;
    for (int k = 0; k < 4; ++k) {
        const int c = peek();
        if (c < 0) return fail_here("EOF while parsing a string");
        const hex::Digit d = hex::digit_value(static_cast<unsigned char>(c));
        if (!d.valid) return fail_at_next("unexpected end of hex escape");
        unit = unit << 4 | d.value;
        ++pos_;
    }
    return true;
}

// The cursor is just past a backslash.
bool Reader::read_escape() {
    const int c = peek();
    char plain = 0;
    switch (c) {
        case -1: return fail_here("EOF while parsing a string");
        case '"': plain = '"'; break;
        case '\\': plain = '\\'; break;
        case '/': plain = '/'; break;
        case 'b': plain = '\b'; break;
        case 'f': plain = '\f'; break;
        case 'n': plain = '\n'; break;
        case 'r': plain = '\r'; break;
        case 't': plain = '\t'; break;
        case 'u': break;
        default: return fail_at_next("invalid escape");
    }
    ++pos_;
    if (c != 'u') {
        scratch_.push_back(plain);
        return true;
    }
    std::uint32_t unit = 0;
    if (!read_hex4(unit)) return false;
    if (unit >= 0xdc00 && unit <= 0xdfff) return fail_here("invalid unicode code point");
    if (unit < 0xd800 || unit > 0xdbff) {
        text::append_utf8(scratch_, unit);
        return true;
    }
    // A high surrogate: a low one must follow as another \u escape (RFC 8259, 7).
    for (const char expected : {'\\', 'u'}) {
        const int next = peek();
        if (next < 0) return fail_here("EOF while parsing a string");
        if (next != expected) return fail_at_next("lone leading surrogate in hex escape");
        ++pos_;
    }
    std::uint32_t low = 0;
    if (!read_hex4(low)) return false;
    if (low < 0xdc00 || low > 0xdfff) return fail_here("lone leading surrogate in hex escape");
    text::append_utf8(scratch_, 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00));
    return true;
}

bool Reader::read_number(Number& out) {
    const std::size_t start = pos_;
    const bool negative = peek() == '-';
    if (negative) ++pos_;
    const int first = peek();
    if (first < 0) return fail_here("EOF while parsing a value");
    const std::size_t int_start = pos_;
    if (first == '0') {
        ++pos_;
        if (is_digit(peek())) return fail_at_next("invalid number");
    } else if (first >= '1' && first <= '9') {
        while (is_digit(peek())) ++pos_;
    } else {
        return fail_at_next("invalid number");
    }
    const std::size_t int_end = pos_;
    bool whole = true;
    if (peek() == '.') {
        whole = false;
        ++pos_;
        if (!is_digit(peek())) return fail_at_next(peek() < 0 ? "EOF while parsing a value" : "invalid number");
        while (is_digit(peek())) ++pos_;
    }
    if (peek() == 'e' || peek() == 'E') {
        whole = false;
        ++pos_;
        if (peek() == '+' || peek() == '-') ++pos_;
        if (!is_digit(peek())) return fail_at_next(peek() < 0 ? "EOF while parsing a value" : "invalid number");
        while (is_digit(peek())) ++pos_;
    }
    if (whole) {
        constexpr std::uint64_t MAX = std::numeric_limits<std::uint64_t>::max();
        std::uint64_t magnitude = 0;
        bool fits = true;
        for (std::size_t i = int_start; i < int_end && fits; ++i) {
            const auto d = static_cast<std::uint64_t>(text_[i] - '0');
            if (magnitude > (MAX - d) / 10) {
                fits = false;
            } else {
                magnitude = magnitude * 10 + d;
            }
        }
        constexpr std::uint64_t MIN_MAGNITUDE = std::uint64_t{1} << 63;  // |INT64_MIN|
        if (fits && !negative) {
            out.kind = Number::Kind::Unsigned;
            out.u = magnitude;
            return true;
        }
        // -0 is not a whole number here: it reads as the double -0.0.
        if (fits && magnitude != 0 && magnitude <= MIN_MAGNITUDE) {
            out.kind = Number::Kind::Signed;
            out.i = magnitude == MIN_MAGNITUDE ? std::numeric_limits<std::int64_t>::min()
                                               : -static_cast<std::int64_t>(magnitude);
            return true;
        }
    }
    const std::string_view token = text_.substr(start, pos_ - start);
    double value = 0.0;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), value);
    if (r.ec == std::errc::result_out_of_range) {
        if (leading_exponent(token) > 0) return fail_here("number out of range");
        value = negative ? -0.0 : 0.0;
    } else if (r.ec != std::errc() || r.ptr != token.data() + token.size()) {
        return fail_here("invalid number");
    }
    out.kind = Number::Kind::Float;
    out.f = value;
    return true;
}

bool Reader::read_literal(Summary& out) {
    const int c = peek();
    std::string_view rest;
    if (c == 't') {
        rest = "rue";
        out.kind = Summary::Kind::Boolean;
        out.boolean = true;
    } else if (c == 'f') {
        rest = "alse";
        out.kind = Summary::Kind::Boolean;
        out.boolean = false;
    } else {
        rest = "ull";
        out.kind = Summary::Kind::Null;
    }
    ++pos_;
    for (const char expected : rest) {
        const int next = peek();
        if (next < 0) return fail_here("EOF while parsing a value");
        if (next != expected) return fail_at_next("expected ident");
        ++pos_;
    }
    return true;
}

bool Reader::read_colon() {
    const int c = peek_token();
    if (c == ':') {
        ++pos_;
        return true;
    }
    if (c < 0) return fail_at_next("EOF while parsing an object");
    return fail_at_next("expected `:`");
}

bool Reader::read_scalar(Summary& out) {
    const int c = peek();
    if (c == '"') {
        std::string_view text;
        if (!read_string(text)) return false;
        out.kind = Summary::Kind::String;
        out.text.assign(text);
        return true;
    }
    if (c == 't' || c == 'f' || c == 'n') return read_literal(out);
    if (c == '-' || is_digit(c)) {
        out.kind = Summary::Kind::Number;
        return read_number(out.number);
    }
    if (c < 0) return fail_at_next("EOF while parsing a value");
    return fail_at_next("expected value");
}

bool Reader::read_summary(Summary& out, std::size_t level, std::size_t max_depth) {
    const int c = peek_token();
    if (c == '[' || c == '{') {
        out.kind = c == '[' ? Summary::Kind::Sequence : Summary::Kind::Map;
        return skip_container(level, max_depth);
    }
    return read_scalar(out);
}

bool Reader::skip_value(std::size_t level, std::size_t max_depth) {
    const int c = peek_token();
    if (c == '[' || c == '{') return skip_container(level, max_depth);
    return skip_scalar();
}

// The cursor is on the first byte of a value that is not a container.
bool Reader::skip_scalar() {
    const int c = peek();
    if (c == '"') {
        std::string_view ignored;
        return read_string(ignored);
    }
    if (c == '-' || is_digit(c)) {
        Number ignored;
        return read_number(ignored);
    }
    Summary literal;
    return read_scalar(literal);
}

// The cursor is on '[' or '{'. One byte per open container is all the state
// kept, so arbitrarily deep values cost memory, not stack.
bool Reader::skip_container(std::size_t level, std::size_t max_depth) {
    std::string open;
    const auto open_container = [&](char bracket) {
        if (level + open.size() + 1 > max_depth) return fail_at_next("recursion limit exceeded");
        open.push_back(bracket);
        ++pos_;
        return true;
    };
    // A key (the cursor on its opening quote) and the colon after it.
    const auto skip_key = [&]() {
        std::string_view ignored;
        return read_string(ignored) && read_colon();
    };
    enum class Next { Opened, Value, AfterValue };
    if (!open_container(static_cast<char>(peek()))) return false;
    Next next = Next::Opened;
    for (;;) {
        int c = peek_token();
        switch (next) {
            case Next::Opened: {
                const bool list = open.back() == '[';
                if (c == (list ? ']' : '}')) {
                    ++pos_;
                    open.pop_back();
                    next = Next::AfterValue;
                } else if (c < 0) {
                    return fail_at_next(list ? "EOF while parsing a list" : "EOF while parsing an object");
                } else if (list) {
                    next = Next::Value;
                } else if (c != '"') {
                    return fail_at_next("key must be a string");
                } else {
                    if (!skip_key()) return false;
                    next = Next::Value;
                }
                break;
            }
            case Next::Value:
                if (c == '[' || c == '{') {
                    if (!open_container(static_cast<char>(c))) return false;
                    next = Next::Opened;
                } else {
                    if (!skip_scalar()) return false;
                    next = Next::AfterValue;
                }
                break;
            case Next::AfterValue: {
                if (open.empty()) return true;
                const bool list = open.back() == '[';
                const char close = list ? ']' : '}';
                if (c == close) {
                    ++pos_;
                    open.pop_back();
                } else if (c == ',') {
                    ++pos_;
                    c = peek_token();
                    if (c == close) return fail_at_next("trailing comma");
                    if (c < 0) return fail_at_next("EOF while parsing a value");
                    if (!list) {
                        if (c != '"') return fail_at_next("key must be a string");
                        if (!skip_key()) return false;
                    }
                    next = Next::Value;
                } else if (c < 0) {
                    return fail_at_next(list ? "EOF while parsing a list" : "EOF while parsing an object");
                } else {
                    return fail_at_next(list ? "expected `,` or `]`" : "expected `,` or `}`");
                }
                break;
            }
        }
    }
}

bool Reader::fail_invalid_type(std::string_view expected) {
    const int c = peek();
    std::string what;
    if (c == '[') {
        what = "sequence";
    } else if (c == '{') {
        what = "map";
    } else {
        Summary value;
        if (!read_scalar(value)) return false;
        what = describe(value);
    }
    return fail_here("invalid type: " + what + ", expected " + std::string(expected));
}

}  // namespace lumora::json
