#include "sdk/operations.h"

namespace lumora::sdk::inline LUMORA_KERNEL_NS {

// Constant-initialised: no code of this copy runs before it is chosen.
constinit const OperationTable OPERATIONS = {
#define LUMORA_SDK_OPERATION_ENTRY(result, name, params, args, inputs) &operations::name,
    LUMORA_SDK_OPERATIONS(LUMORA_SDK_OPERATION_ENTRY)
#undef LUMORA_SDK_OPERATION_ENTRY
};

}  // namespace lumora::sdk
