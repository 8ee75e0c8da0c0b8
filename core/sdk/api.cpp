// The api functions: each forwards to the copy of the core that this process
// runs (see operation_table.h). Compiled once, for the baseline of the target.
#include "sdk/api.h"

#include "common/secret.h"
#include "hashes/sha256.h"
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

namespace {

// What a forwarding function holds while its operation runs: for a SECRET
// row, the stack wipe, which runs after the result is made; nothing for a
// PUBLIC one.
struct NoWipe {};
using Wipe_SECRET = StackWipe;
using Wipe_PUBLIC = NoWipe;

}  // namespace

#define LUMORA_SDK_FORWARD_OPERATION(result, name, params, inputs, ...) \
    result name(LUMORA_SDK_TEXT_PARAMETERS params) {                       \
        [[maybe_unused]] const Wipe_##inputs wipe;                         \
        return dispatched_operation_table().name params;                   \
    }
LUMORA_SDK_OPERATIONS(LUMORA_SDK_FORWARD_OPERATION)
#undef LUMORA_SDK_FORWARD_OPERATION

void prepare() {
    cpu::dispatch();
    hashes::sha256_form();
    dispatched_operation_table().build_tables();
}

}  // namespace lumora::sdk::api
