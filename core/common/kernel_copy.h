// Included by every file whose code is compiled once per copy of the field
// kernels (common/kernel_paths.h): the field, curve, Poseidon and EdDSA
// layers and the sdk operations. Each copy's code lives in the inline
// namespace the build names for it, LUMORA_KERNEL_NS (kernel_<copy>), inside
// the namespace of its layer; LUMORA_KERNEL_COPY is the copy's name. A file
// compiled without them would put its code in a namespace that no copy owns,
// so it stops here instead (core/CMakeLists.txt compiles it once per copy).
#pragma once

#if !defined(LUMORA_KERNEL_NS) || !defined(LUMORA_KERNEL_COPY)
#error "compiled once per copy of the field kernels: LUMORA_KERNEL_NS and LUMORA_KERNEL_COPY must be defined (core/CMakeLists.txt compiles the file once per copy)"
#endif

#include "common/cpu.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {

// The copy this translation unit belongs to.
inline constexpr cpu::FieldCopy COPY = cpu::FieldCopy::LUMORA_KERNEL_COPY;

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
