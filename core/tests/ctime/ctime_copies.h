// What ctime_given_nonces.cpp gives ctime_driver for each copy of the core:
// it is compiled once per copy, inside the copy's inline namespace
// (LUMORA_KERNEL_NS), and the driver names each copy's functions as api.cpp
// names the copies' operation tables.
#pragma once

#include "common/cpu.h"

#define LUMORA_CTIME_COPY_FUNCTIONS                                                        \
    /* The field kernels the copy was compiled with. */                                   \
    cpu::FieldKernel compiled_kernel();                                                    \
    /* The signature scheme with given secret nonces: the number of signatures that do */ \
    /* not verify. */                                                                      \
    int sign_with_given_nonces();

namespace lumora::ctime_check {

#if defined(LUMORA_KERNEL_NS)
inline namespace LUMORA_KERNEL_NS {
LUMORA_CTIME_COPY_FUNCTIONS
}
#else
#if defined(LUMORA_COPY_PORTABLE)
inline namespace kernel_portable {
LUMORA_CTIME_COPY_FUNCTIONS
}
#endif
#if defined(LUMORA_COPY_BASELINE)
inline namespace kernel_baseline {
LUMORA_CTIME_COPY_FUNCTIONS
}
#endif
#if defined(LUMORA_COPY_ADX)
inline namespace kernel_adx {
LUMORA_CTIME_COPY_FUNCTIONS
}
#endif
#endif

}  // namespace lumora::ctime_check
