// The tables of the IFMA permutation, prepared from the generated parameters.
#pragma once

#include <memory>

#include "common/kernel_copy.h"
#include "poseidon/parameters.h"
#include "poseidon/permutation_ifma.h"

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

// The parameters in the kernel's layout and number form, with the derived
// constants it needs. Null for round counts the kernel is not built for
// (it runs the system's 8 full and 63 partial rounds only).
std::shared_ptr<const ifma::Tables> make_ifma_tables(const Spec& spec);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
