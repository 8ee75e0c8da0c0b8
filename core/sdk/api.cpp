// The api functions: each forwards to the copy of the core that this process
// runs (see operation_table.h). Compiled once, for the baseline of the target.
#include "sdk/api.h"

#include "common/secret.h"
#include "eddsa/nonce_steps.h"
#include "hashes/sha256.h"
#include "sdk/operation_table.h"

namespace lumora::sdk {

// Every copy's table: declared for each copy of the list, defined by each copy
// the target's build has (common/kernel_paths.h).
#define LUMORA_SDK_DECLARE_COPY_TABLE(name, architecture, instructions) \
    inline namespace kernel_##name {                                    \
    extern const OperationTable OPERATIONS;                             \
    }
LUMORA_FIELD_COPIES(LUMORA_SDK_DECLARE_COPY_TABLE)
#undef LUMORA_SDK_DECLARE_COPY_TABLE

const OperationTable* operation_table(cpu::FieldCopy copy) {
    // A copy the target's build lacks is never named.
#define LUMORA_SDK_COPY_TABLE(name, architecture, instructions)                          \
    if constexpr (cpu::built(cpu::FieldCopy::name)) {                                   \
        if (copy == cpu::FieldCopy::name) return &kernel_##name::OPERATIONS;            \
    }
    LUMORA_FIELD_COPIES(LUMORA_SDK_COPY_TABLE)
#undef LUMORA_SDK_COPY_TABLE
    return nullptr;
}

const OperationTable& dispatched_operation_table() {
    // cpu::choose only chooses copies the target's build has.
    static const OperationTable& table = *operation_table(cpu::dispatch().copy);
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
    eddsa::nonce_steps();
    dispatched_operation_table().build_tables();
}

}  // namespace lumora::sdk::api
