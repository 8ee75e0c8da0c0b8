// What ctime_given_nonces.cpp gives ctime_driver for each copy of the core:
// it is compiled once per copy, inside the copy's inline namespace
// (common/kernel_copy.h). Declared here for every copy of the list
// (common/kernel_paths.h); the driver calls those the build has.
#pragma once

#include "common/cpu.h"

#define LUMORA_CTIME_COPY_FUNCTIONS                                                        \
    /* The copy the code belongs to. */                                                   \
    cpu::FieldCopy compiled_copy();                                                        \
    /* The signature scheme with given secret nonces: the number of signatures that do */ \
    /* not verify. */                                                                      \
    int sign_with_given_nonces();

namespace lumora::ctime_check {

#define LUMORA_CTIME_DECLARE_COPY(name, architecture, instructions) \
    inline namespace kernel_##name {                                \
    LUMORA_CTIME_COPY_FUNCTIONS                                     \
    }
LUMORA_FIELD_COPIES(LUMORA_CTIME_DECLARE_COPY)
#undef LUMORA_CTIME_DECLARE_COPY

}  // namespace lumora::ctime_check
