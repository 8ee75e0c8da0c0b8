// This copy's operations behind api.h (same names and contracts), and its
// table for the dispatch (see operation_table.h). Each is defined with the
// layer it belongs to: the document kinds' operations and the signing ones
// in signing.cpp, the key ones in keys.cpp.
#pragma once

#include <string>

#include "common/error.h"
#include "common/kernel_copy.h"
#include "sdk/operation_table.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

LUMORA_SDK_OPERATIONS(LUMORA_SDK_DECLARE_OPERATION)

namespace operations {

// Builds this copy's shared tables: the Poseidon parameters and the curve
// parameter set.
void build_tables();

}  // namespace operations

extern const OperationTable OPERATIONS;

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
