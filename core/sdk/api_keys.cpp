// The module's four key functions.
#include <cstdio>

#include "sdk/operations.h"
#include "sdk/keys.h"

namespace lumora::sdk::inline LUMORA_KERNEL_NS::operations {

namespace {

// A JSON string literal: quote, backslash and control characters escaped.
void append_json_string(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
}

// The public-key record {"x":…,"y":…}: the packed key under "x", its affine
// x-coordinate under "y".
Result<std::string> public_key_json(Result<PublicKeyPair> pair) {
    if (!pair.ok()) return std::move(pair).error();
    std::string out = "{\"x\":";
    append_json_string(out, pair.value().packed);
    out += ",\"y\":";
    append_json_string(out, pair.value().x);
    out += '}';
    return out;
}

}  // namespace

Result<std::string> private_key_from_seed(Text seed) { return sdk::private_key_from_seed(seed); }

Result<bool> is_on_curve(Text x, Text y) { return sdk::is_on_curve(x, y); }

Result<std::string> public_key_to_xy(Text public_key) { return public_key_json(sdk::pub_key_to_xy(public_key)); }

Result<std::string> private_key_to_public_key_xy(Text private_key) {
    return public_key_json(sdk::private_key_to_pubkey_xy(private_key));
}

}  // namespace lumora::sdk::api
