// Escaping text for the messages and documents the system writes, and UTF-8
// encoding: one escaper with the three quotings callers need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lumora::text {

// The bytes of a text, as hashes take them.
inline std::span<const std::uint8_t> bytes_of(std::string_view text) noexcept {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Appends the UTF-8 encoding of a code point (at most U+10FFFF, no surrogate).
void append_utf8(std::string& out, std::uint32_t code_point);

// How a code point is written inside a quoted literal. All three put a
// backslash before the backslash and the quote, and write tab, line feed and
// carriage return as \t \n \r.
//  - DebugString ("…"): NUL as \0; the other C0 controls, DEL and the C1
//    controls as \u{hex}.
//  - DebugChar ('…'): the same, and U+00AD (soft hyphen) as \u{ad} too.
//  - Json ("…", RFC 8259): backspace and form feed as \b \f, the other C0
//    controls as \u00XX; everything else unchanged.
// Code points not escaped are appended as UTF-8.
enum class Quoting { DebugString, DebugChar, Json };
void append_escaped(std::string& out, std::uint32_t code_point, Quoting quoting);

// How much of an input text a message echoes: a message stays small whatever
// the caller passed (a 100 MB string where a boolean belongs is named by its
// start).
inline constexpr std::size_t ECHO_CHARACTERS = 200;

// `text` as a message echoes it: unchanged when it has at most
// ECHO_CHARACTERS characters, else its first ECHO_CHARACTERS characters
// followed by "…" (U+2026). Characters are code points, counted by the lead
// bytes of their UTF-8 encoding, so a cut never splits one.
std::string echo_excerpt(std::string_view text);

// `text` in double quotes, escaped as DebugString; only the ASCII and C1
// characters are looked at, other UTF-8 is kept byte for byte.
std::string quote_debug(std::string_view text);

// The body of a character literal for one byte taken as a code point (so 0xe9
// is 'é'), escaped as DebugChar: how hexadecimal failures show a character.
std::string quote_char(unsigned char byte);

// `text` as a JSON string literal, quotes included; bytes from 0x80 up are
// kept as they are.
void append_json_string(std::string& out, std::string_view text);

}  // namespace lumora::text
