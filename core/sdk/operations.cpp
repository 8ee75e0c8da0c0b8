#include "sdk/operations.h"

#include "curve/alt_jubjub.h"
#include "field/montgomery.h"
#include "poseidon/sponge.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

void operations::build_tables() {
    poseidon::get_poseidon_hasher();
    curve::jubjub_params();
}

// Constant-initialised: no code of this copy runs before it is chosen.
constinit const OperationTable OPERATIONS = {
#define LUMORA_SDK_OPERATION_ENTRY(result, name, ...) &name,
    LUMORA_SDK_OPERATIONS(LUMORA_SDK_OPERATION_ENTRY)
#undef LUMORA_SDK_OPERATION_ENTRY
    field::COPY,
    &operations::build_tables,
};

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
