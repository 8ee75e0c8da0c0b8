// The seventeen operations of api.h as one table of function pointers.
//
// Everything that inlines the field kernels (fields, curve, Poseidon, EdDSA,
// the operations) is compiled once per kernel path, each copy in its own
// inline namespace: kernel_portable (portable C++), and on x86-64 also
// kernel_baseline (mulq kernels) and kernel_adx (MULX/ADX kernels). Every copy
// runs only baseline instructions outside its kernels, so a copy whose
// kernels the CPU lacks can be linked in safely; it is simply never called.
// The api functions forward to the table of the copy chosen once per process
// from cpu::dispatch(). Each copy builds its own shared tables (Poseidon
// constants, curve parameter set) on first use, so only the chosen copy's
// are ever built by the module.
#pragma once

#include <string>

#include "common/cpu.h"
#include "common/error.h"
#include "sdk/api.h"

namespace lumora::sdk {

struct OperationTable {
    using Text = api::Text;
    Result<bool> (*verify_signature)(Text sig_r, Text sig_s, Text pub_key_x, Text pub_key_y, Text msg);
    Result<std::string> (*sign_withdraw)(Text json, Text pri_key);
    Result<std::string> (*sign_transfer)(Text json, Text pri_key);
    Result<std::string> (*sign_limit_order)(Text json, Text pri_key);
    Result<std::string> (*sign_liquidate)(Text json, Text pri_key);
    Result<std::string> (*sign_signed_oracle_price)(Text json, Text pri_key);
    Result<std::string> (*hash_withdraw)(Text json);
    Result<std::string> (*hash_transfer)(Text json);
    Result<std::string> (*hash_limit_order)(Text json);
    Result<std::string> (*hash_liquidate)(Text json);
    Result<std::string> (*hash_signed_oracle_price)(Text json);
    Result<std::string> (*sign)(Text private_key, Text msg);
    Result<std::string> (*eth_sign)(Text private_key, Text msg);
    Result<std::string> (*private_key_from_seed)(Text seed);
    Result<bool> (*is_on_curve)(Text x, Text y);
    Result<std::string> (*public_key_to_xy)(Text public_key);
    Result<std::string> (*private_key_to_public_key_xy)(Text private_key);
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
