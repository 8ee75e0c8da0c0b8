// This copy's operations behind api.h (same names and contracts), and its
// table for the dispatch (see operation_table.h).
#pragma once

#include <string>

#include "common/error.h"
#include "common/kernel_copy.h"
#include "sdk/operation_table.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

namespace operations {

using Text = api::Text;

LUMORA_SDK_OPERATIONS(LUMORA_SDK_DECLARE_OPERATION)

// Builds this copy's shared tables: the Poseidon parameters and the curve
// parameter set.
void build_tables();

}  // namespace operations

extern const OperationTable OPERATIONS;

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
