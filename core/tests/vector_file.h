// Test-only reader for the known-answer files: just enough JSON (objects,
// arrays, strings with their escapes, literals kept as their text) to walk
// them. The files
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
    std::string text;                                          // strings, literals
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
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') {
            // true, false, null or a number, as written
            while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '-' ||
                                      s_[i_] == '+' || s_[i_] == '.'))
                v.text += s_[i_++];
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
                else if (c == 'b') c = '\b';
                else if (c == 'f') c = '\f';
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

    // The code point of \uXXXX at i_ (on the 'u'), joining a surrogate pair;
    // leaves i_ on the escape's last digit.
    unsigned code_point() {
        auto hex4 = [this] {
            const unsigned v = static_cast<unsigned>(std::stoul(s_.substr(i_ + 1, 4), nullptr, 16));
            i_ += 4;
            return v;
        };
        unsigned cp = hex4();
        if (cp >= 0xd800 && cp < 0xdc00 && s_.compare(i_ + 1, 2, "\\u") == 0) {
            i_ += 2;
            cp = 0x10000 + ((cp - 0xd800) << 10) + (hex4() - 0xdc00);
        }
        return cp;
    }
    static void append_utf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xc0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xe0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
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
