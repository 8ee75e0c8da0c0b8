// The api functions: each forwards to the copy of the core that this process
// runs (see operation_table.h). Compiled once, for the baseline of the target.
#include "sdk/api.h"

#include "sdk/operation_table.h"

namespace lumora::sdk {

// The copies this build links in (the build defines which exist).
#if defined(LUMORA_COPY_PORTABLE)
inline namespace kernel_portable {
extern const OperationTable OPERATIONS;
}
#endif
#if defined(LUMORA_COPY_BASELINE)
inline namespace kernel_baseline {
extern const OperationTable OPERATIONS;
}
#endif
#if defined(LUMORA_COPY_ADX)
inline namespace kernel_adx {
extern const OperationTable OPERATIONS;
}
#endif

const OperationTable* operation_table(cpu::FieldKernel kernel) {
#if defined(LUMORA_COPY_PORTABLE)
    if (kernel == cpu::FieldKernel::Portable) return &kernel_portable::OPERATIONS;
#endif
#if defined(LUMORA_COPY_BASELINE)
    if (kernel == cpu::FieldKernel::X86Baseline) return &kernel_baseline::OPERATIONS;
#endif
#if defined(LUMORA_COPY_ADX)
    if (kernel == cpu::FieldKernel::X86Adx) return &kernel_adx::OPERATIONS;
#endif
    return nullptr;
}

namespace {

const OperationTable& choose_operation_table() {
#if defined(LUMORA_HOST_TUNED)
    // The one copy, compiled for the build machine's instructions.
    return kernel_adx::OPERATIONS;
#else
    if (const OperationTable* chosen = operation_table(cpu::dispatch().field)) return *chosen;
    // dispatch() only names paths of the target, and every one has a copy.
    return kernel_portable::OPERATIONS;
#endif
}

}  // namespace

const OperationTable& dispatched_operation_table() {
    static const OperationTable& table = choose_operation_table();
    return table;
}

}  // namespace lumora::sdk

namespace lumora::sdk::api {

Result<bool> verify_signature(Text sig_r, Text sig_s, Text pub_key_x, Text pub_key_y, Text msg) {
    return dispatched_operation_table().verify_signature(sig_r, sig_s, pub_key_x, pub_key_y, msg);
}
Result<std::string> sign_withdraw(Text json, Text pri_key) {
    return dispatched_operation_table().sign_withdraw(json, pri_key);
}
Result<std::string> sign_transfer(Text json, Text pri_key) {
    return dispatched_operation_table().sign_transfer(json, pri_key);
}
Result<std::string> sign_limit_order(Text json, Text pri_key) {
    return dispatched_operation_table().sign_limit_order(json, pri_key);
}
Result<std::string> sign_liquidate(Text json, Text pri_key) {
    return dispatched_operation_table().sign_liquidate(json, pri_key);
}
Result<std::string> sign_signed_oracle_price(Text json, Text pri_key) {
    return dispatched_operation_table().sign_signed_oracle_price(json, pri_key);
}
Result<std::string> hash_withdraw(Text json) { return dispatched_operation_table().hash_withdraw(json); }
Result<std::string> hash_transfer(Text json) { return dispatched_operation_table().hash_transfer(json); }
Result<std::string> hash_limit_order(Text json) { return dispatched_operation_table().hash_limit_order(json); }
Result<std::string> hash_liquidate(Text json) { return dispatched_operation_table().hash_liquidate(json); }
Result<std::string> hash_signed_oracle_price(Text json) {
    return dispatched_operation_table().hash_signed_oracle_price(json);
}
Result<std::string> sign(Text private_key, Text msg) { return dispatched_operation_table().sign(private_key, msg); }
Result<std::string> eth_sign(Text private_key, Text msg) {
    return dispatched_operation_table().eth_sign(private_key, msg);
}
Result<std::string> private_key_from_seed(Text seed) { return dispatched_operation_table().private_key_from_seed(seed); }
Result<bool> is_on_curve(Text x, Text y) { return dispatched_operation_table().is_on_curve(x, y); }
Result<std::string> public_key_to_xy(Text public_key) {
    return dispatched_operation_table().public_key_to_xy(public_key);
}
Result<std::string> private_key_to_public_key_xy(Text private_key) {
    return dispatched_operation_table().private_key_to_public_key_xy(private_key);
}

}  // namespace lumora::sdk::api
