#include "common/text.h"

#include <cstdio>

namespace lumora::text {

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    }
}

void append_escaped(std::string& out, std::uint32_t cp, Quoting quoting) {
    const char quote = quoting == Quoting::DebugChar ? '\'' : '"';
    const auto append_format = [&out](const char* format, std::uint32_t value) {
        char buf[16];
        std::snprintf(buf, sizeof buf, format, static_cast<unsigned>(value));
        out += buf;
    };
    switch (cp) {
        case '\\': out += "\\\\"; return;
        case '\t': out += "\\t"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        default: break;
    }
    if (cp == static_cast<std::uint32_t>(quote)) {
        out.push_back('\\');
        out.push_back(quote);
        return;
    }
    if (quoting == Quoting::Json) {
        if (cp == '\b') {
            out += "\\b";
        } else if (cp == '\f') {
            out += "\\f";
        } else if (cp < 0x20) {
            append_format("\\u%04x", cp);
        } else {
            append_utf8(out, cp);
        }
        return;
    }
    if (cp == 0) {
        out += "\\0";
    } else if (cp < 0x20 || (cp >= 0x7f && cp <= 0x9f) || (quoting == Quoting::DebugChar && cp == 0xad)) {
        append_format("\\u{%x}", cp);
    } else {
        append_utf8(out, cp);
    }
}

std::string echo_excerpt(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(text[i]) & 0xc0) == 0x80;
        if (!continuation && characters++ == ECHO_CHARACTERS) return std::string(text.substr(0, i)) + "\u2026";
    }
    return std::string(text);
}

std::string quote_debug(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            append_escaped(out, c, Quoting::DebugString);
        } else if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9f &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            // U+0080..U+009F, the second block of control characters.
            append_escaped(out, static_cast<unsigned char>(text[++i]), Quoting::DebugString);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
    return out;
}

std::string quote_char(unsigned char byte) {
    std::string out;
    append_escaped(out, byte, Quoting::DebugChar);
    return out;
}

void append_json_string(std::string& out, std::string_view text) {
    out.push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            append_escaped(out, c, Quoting::Json);
        } else {
            out.push_back(ch);
        }
    }
    out.push_back('"');
}

}  // namespace lumora::text
