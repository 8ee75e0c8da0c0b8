// Test-only reader for the known-answer files: just enough JSON (objects,
// arrays, strings, booleans) to walk them. The files
// stay the source of truth; nothing is converted ahead of time.
#pragma once

#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumora::testing {

struct JsonValue {
    std::string text;                                          // strings
    std::vector<JsonValue> items;                              // arrays
    std::map<std::string, std::shared_ptr<JsonValue>> members; // objects

    const JsonValue& operator[](const std::string& key) const {
        const auto it = members.find(key);
        if (it == members.end()) throw std::runtime_error("vector file: no member " + key);
        return *it->second;
    }
    const JsonValue& operator[](std::size_t i) const { return items.at(i); }
    std::size_t size() const { return items.size(); }
};

class JsonReader {
public:
    explicit JsonReader(std::string text) : s_(std::move(text)) {}

    JsonValue parse() {
        skip();
        JsonValue v;
        const char c = s_.at(i_);
        if (c == '"') {
            v.text = string();
        } else if (c == '[') {
            ++i_;
            while (skip(), s_.at(i_) != ']') {
                v.items.push_back(parse());
                if (skip(), s_.at(i_) == ',') ++i_;
            }
            ++i_;
        } else if (c == '{') {
            ++i_;
            while (skip(), s_.at(i_) != '}') {
                std::string key = string();
                skip();
                ++i_;  // ':'
                v.members[key] = std::make_shared<JsonValue>(parse());
                if (skip(), s_.at(i_) == ',') ++i_;
            }
            ++i_;
        } else if (s_.compare(i_, 4, "true") == 0 || s_.compare(i_, 5, "false") == 0) {
            v.text = s_[i_] == 't' ? "true" : "false";  // booleans keep their spelling as text
            i_ += v.text.size();
        } else {
            throw std::runtime_error("vector file: unexpected character");
        }
        return v;
    }

private:
    void skip() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    std::string string() {
        std::string out;
        for (++i_; s_.at(i_) != '"'; ++i_) {
            char c = s_[i_];
            if (c == '\\') {
                c = s_.at(++i_);
                if (c == 'n') c = '\n';
                else if (c == 't') c = '\t';
                else if (c == 'r') c = '\r';
                else if (c == 'u') {
                    append_utf8(out, code_point());
                    continue;
                }
            }
            out += c;
        }
        ++i_;
        return out;
    }

    // The four hex digits of a Unicode escape (i_ on its "u"), leaving i_ on the last.
    unsigned hex4() {
        const std::string digits = s_.substr(i_ + 1, 4);
        if (digits.size() != 4 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw std::runtime_error("vector file: bad \\u escape");
        i_ += 4;
        return static_cast<unsigned>(std::stoul(digits, nullptr, 16));
    }
    // A Unicode escape, joining a surrogate pair into one code point.
    unsigned code_point() {
        const unsigned high = hex4();
        if (high < 0xd800 || high > 0xdbff) return high;
        if (s_.compare(i_ + 1, 2, "\\u") != 0) throw std::runtime_error("vector file: lone surrogate");
        i_ += 2;
        const unsigned low = hex4();
        if (low < 0xdc00 || low > 0xdfff) throw std::runtime_error("vector file: lone surrogate");
        return 0x10000 + ((high - 0xd800) << 10) + (low - 0xdc00);
    }
    static void append_utf8(std::string& out, unsigned cp) {
        auto put = [&out](unsigned byte) { out += static_cast<char>(byte); };
        if (cp < 0x80) {
            put(cp);
        } else if (cp < 0x800) {
            put(0xc0 | (cp >> 6));
            put(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
            put(0xe0 | (cp >> 12));
            put(0x80 | ((cp >> 6) & 0x3f));
            put(0x80 | (cp & 0x3f));
        } else {
            put(0xf0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3f));
            put(0x80 | ((cp >> 6) & 0x3f));
            put(0x80 | (cp & 0x3f));
        }
    }

    std::string s_;
    std::size_t i_ = 0;
};

// Reads LUMORA_VECTORS_DIR/<name>.
inline JsonValue load_vector_file(const std::string& name) {
    std::ifstream in(std::string(LUMORA_VECTORS_DIR) + "/" + name);
    if (!in) throw std::runtime_error("cannot open vector file " + name);
    std::stringstream ss;
    ss << in.rdbuf();
    return JsonReader(ss.str()).parse();
}

}  // namespace lumora::testing
