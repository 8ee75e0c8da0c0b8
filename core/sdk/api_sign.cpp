// The module's signing and verification operations.
#include "sdk/api.h"
#include "sdk/signing.h"

namespace lumora::sdk::api {

Result<bool> verify_signature(Text sig_r, Text sig_s, Text pub_key_x, Text pub_key_y, Text msg) {
    return sdk::verify_signature(sig_r, sig_s, pub_key_x, pub_key_y, msg);
}

Result<std::string> sign(Text private_key, Text msg) {
    auto signature = sdk::sign(private_key, msg);
    if (!signature.ok()) return std::move(signature).error();
    return signature.value().to_json();
}

// The hash text first, the key text second.
Result<std::string> eth_sign(Text private_key, Text msg) {
    auto signature = sdk::l1_sign(msg, private_key);
    if (!signature.ok()) return std::move(signature).error();
    return signature.value().to_json();
}

}  // namespace lumora::sdk::api
