// The operations of api.h as one table of function pointers.
//
// Everything that inlines the field kernels (fields, curve, Poseidon, EdDSA,
// the operations) is compiled once per copy of the kernels
// (common/kernel_paths.h), each copy in its own inline namespace,
// kernel_<copy>. Every copy runs only baseline instructions outside its
// kernels, so a copy whose kernels the CPU lacks can be linked in safely; it
// is simply never called. The api functions forward to the table of the copy
// chosen once per process (cpu::dispatch().copy). Each copy builds its own shared tables (Poseidon
// constants, curve parameter set) on first use, or when build_tables is
// called (api::prepare() calls it for the chosen copy), so only the chosen
// copy's are ever built by the module.
#pragma once

#include <string>

#include "common/cpu.h"
#include "common/error.h"
#include "sdk/api.h"

namespace lumora::sdk {

struct OperationTable {
#define LUMORA_SDK_OPERATION_POINTER(result, name, params, ...) result (*name)(LUMORA_SDK_TEXT_PARAMETERS params);
    LUMORA_SDK_OPERATIONS(LUMORA_SDK_OPERATION_POINTER)
#undef LUMORA_SDK_OPERATION_POINTER
    // The copy the table belongs to.
    cpu::FieldCopy copy;
    // Builds the copy's shared tables now rather than on first use.
    void (*build_tables)();
};

// The table of a copy, or null when this target's build has no such copy
// (cpu::built). The caller makes sure the CPU runs the copy (cpu::runs;
// cpu::choose only chooses such copies).
const OperationTable* operation_table(cpu::FieldCopy copy);

// The table the api functions use: that of cpu::dispatch().copy, chosen on
// first use.
const OperationTable& dispatched_operation_table();

}  // namespace lumora::sdk
