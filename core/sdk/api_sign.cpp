// The module's signing and verification operations.
#include "sdk/operations.h"
#include "sdk/signing.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {
namespace operations {

Result<bool> verify_signature(Text sig_r, Text sig_s, Text pub_key_x, Text pub_key_y, Text msg) {
    return sdk::verify_signature(sig_r, sig_s, pub_key_x, pub_key_y, msg);
}

namespace {

Result<std::string> signature_json(Result<JubjubSignature> signature) {
    if (!signature.ok()) return std::move(signature).error();
    return signature.value().to_json();
}

}  // namespace

Result<std::string> sign_withdraw(Text json, Text pri_key) { return signature_json(sdk::sign_withdraw(json, pri_key)); }

Result<std::string> sign_transfer(Text json, Text pri_key) { return signature_json(sdk::sign_transfer(json, pri_key)); }

Result<std::string> sign_limit_order(Text json, Text pri_key) {
    return signature_json(sdk::sign_limit_order(json, pri_key));
}

Result<std::string> sign_liquidate(Text json, Text pri_key) {
    return signature_json(sdk::sign_liquidate(json, pri_key));
}

Result<std::string> sign_signed_oracle_price(Text json, Text pri_key) {
    return signature_json(sdk::sign_signed_oracle_price(json, pri_key));
}

Result<std::string> sign(Text private_key, Text msg) { return signature_json(sdk::sign(private_key, msg)); }

// The hash text first, the key text second.
Result<std::string> eth_sign(Text private_key, Text msg) {
    auto signature = sdk::l1_sign(msg, private_key);
    if (!signature.ok()) return std::move(signature).error();
    return signature.value().to_json();
}

}  // namespace operations
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
