// The operations of api.h as one table of function pointers.
//
// Everything that inlines the field kernels (fields, curve, Poseidon, EdDSA,
// the operations) is compiled once per kernel path, each copy in its own
// inline namespace: kernel_portable (portable C++), and on x86-64 also
// kernel_baseline (mulq kernels) and kernel_adx (MULX/ADX kernels). Every copy
// runs only baseline instructions outside its kernels, so a copy whose
// kernels the CPU lacks can be linked in safely; it is simply never called.
// The api functions forward to the table of the copy chosen once per process
// from cpu::dispatch(). Each copy builds its own shared tables (Poseidon
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
    // The field kernels the copy was compiled with.
    cpu::FieldKernel kernel;
    // Builds the copy's shared tables now rather than on first use.
    void (*build_tables)();
};

// The table of the copy built for a kernel path, or null when this build has
// no such copy. The caller makes sure the CPU has the path's instructions
// (cpu::choose gives the paths it has).
const OperationTable* operation_table(cpu::FieldKernel kernel);

// The table the api functions use: the copy for cpu::dispatch().field,
// chosen on first use. A build tuned for its build machine has a single copy
// and always uses it.
const OperationTable& dispatched_operation_table();

}  // namespace lumora::sdk
