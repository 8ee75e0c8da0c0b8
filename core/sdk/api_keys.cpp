// The module's four key functions.
#include "common/text.h"
#include "sdk/operations.h"
#include "sdk/keys.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {
namespace operations {

namespace {

// The public-key record {"x":…,"y":…}: the packed key under "x", its affine
// x-coordinate under "y".
Result<std::string> public_key_json(Result<PublicKeyPair> pair) {
    if (!pair.ok()) return std::move(pair).error();
    std::string out = "{\"x\":";
    text::append_json_string(out, pair.value().packed);
    out += ",\"y\":";
    text::append_json_string(out, pair.value().x);
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

}  // namespace operations
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
