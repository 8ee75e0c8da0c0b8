// Test-only reader for the known-answer files: just enough JSON (objects,
// arrays, strings with the simple escapes) to walk them. The files
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
                else if (c == 'u') throw std::runtime_error("vector file: \\u escapes are not supported");
            }
            out += c;
        }
        ++i_;
        return out;
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
