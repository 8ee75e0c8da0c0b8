// A streaming reader for JSON documents (RFC 8259) with the exact rejection
// messages and positions that callers of the SDK see.
//
// The reader never builds a tree. Record decoders pull from it member by
// member: strings are unescaped into a view, numbers are read into `Number`,
// values a decoder does not keep are skipped without recursion, and values it
// only needs to describe in a message are reduced to a `Summary`.
//
// Failures: every reading operation returns false on a fault and leaves the
// fault in the reader (`error()`): its message and its position; the caller
// stops and hands it on. Only the first fault is recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "common/error.h"

namespace lumora::json {

// Error("<message>", line: L, column: C) for a fault of a document (one
// with a position), the message quoted as by `text::quote_debug`: the form
// an unwrap failure shows.
std::string debug_form(const Error& error);

// A JSON number as read. Numbers written without fraction or exponent that
// fit in 64 bits (unsigned, or signed when negative) stay whole; everything
// else, including -0, is a double.
struct Number {
    enum class Kind { Unsigned, Signed, Float };
    Kind kind = Kind::Unsigned;
    std::uint64_t u = 0;
    std::int64_t i = 0;
    double f = 0.0;
};

// Shortest digits that read back to the same double, written positionally
// (never with an exponent) and always with a decimal point: 1.0, -0.0, 0.001.
std::string format_float(double value);

// A value reduced to what a message needs: its kind, and the content of a
// string, boolean or number.
struct Summary {
    enum class Kind { Null, Boolean, Number, String, Sequence, Map };
    Kind kind = Kind::Null;
    bool boolean = false;
    Number number;
    std::string text;  // unescaped content of a string
};

// How a value of the wrong type is named in "invalid type: …" messages:
// "null", "boolean `true`", "integer `5`", "floating point `1.5`",
// "string \"…\"" (a long string cut by text::echo_excerpt), "sequence",
// "map".
std::string describe(const Summary& value);

class Reader {
public:
    // Containers nest at most this deep in values that are kept; the record's
    // own object or array is level 1.
    static constexpr std::size_t MAX_DEPTH = 127;
    static constexpr std::size_t UNLIMITED = std::numeric_limits<std::size_t>::max();

    explicit Reader(std::string_view text) : text_(text) {}

    // Skips JSON whitespace and returns the next byte (0..255) without
    // consuming it, or -1 at the end of the text.
    int peek_token();
    void skip_whitespace();
    // The byte at the cursor (-1 at the end); `advance` moves past it.
    int peek() const { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1; }
    void advance() { ++pos_; }

    // Records a fault and returns false. `fail_at_next` counts the byte at
    // the cursor as read (the offending character; at the end, nothing more);
    // `fail_here` counts only what was consumed.
    bool fail_at_next(std::string message);
    bool fail_here(std::string message);
    const Error& error() const { return error_; }

    // The cursor is on the opening quote. On success the cursor is past the
    // closing quote and `out` holds the unescaped UTF-8 content; it views the
    // input or the reader's scratch buffer and stays valid until the next read.
    bool read_string(std::string_view& out);
    // The cursor is on '-' or a digit. A number too large for a double fails
    // with "number out of range"; one too small reads as zero.
    bool read_number(Number& out);
    // The cursor is on 't', 'f' or 'n'; reads true, false or null.
    bool read_literal(Summary& out);
    // After a key: whitespace, then ':'.
    bool read_colon();

    // Reads any value (the cursor before it, whitespace allowed). Scalars are
    // kept in `out`; containers are checked and skipped, `out` naming only
    // their kind. `level` is the nesting level of the container the value is
    // in; opening a container beyond `max_depth` fails.
    bool read_summary(Summary& out, std::size_t level, std::size_t max_depth);
    // The same without keeping anything. Iterative: with `UNLIMITED` the
    // nesting is bounded by memory only, never by the stack.
    bool skip_value(std::size_t level, std::size_t max_depth);

    // For a value of the wrong type at the cursor (after whitespace): reads a
    // scalar, or stays before an array or object, then fails with
    // "invalid type: <description>, expected <expected>". A malformed scalar
    // fails with its own syntax message instead.
    bool fail_invalid_type(std::string_view expected);

private:
    bool read_escape();
    bool read_hex4(std::uint32_t& unit);
    bool skip_utf8_sequence();
    bool read_scalar(Summary& out);
    bool skip_scalar();
    bool skip_container(std::size_t level, std::size_t max_depth);

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string scratch_;
    Error error_;
    bool failed_ = false;
};

}  // namespace lumora::json
