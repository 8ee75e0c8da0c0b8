// For test files compiled once per copy of the field kernels (the
// LUMORA_COPY_TESTS of core/tests/CMakeLists.txt): each copy's tests form
// suites of their own, named after the copy ("FieldKernels_adx"), and skip
// themselves on a CPU that lacks the copy's instructions.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/cpu.h"
#include "common/kernel_copy.h"

#define LUMORA_COPY_SUITE_(suite, copy) suite##_##copy
#define LUMORA_COPY_SUITE(suite, copy) LUMORA_COPY_SUITE_(suite, copy)

// A test of this file's copy, in the suite `suite`_<copy>.
#define LUMORA_COPY_TEST(suite, name) TEST(LUMORA_COPY_SUITE(suite, LUMORA_KERNEL_COPY), name)

// Skips the rest of the test when the CPU does not run this file's copy.
#define LUMORA_SKIP_UNLESS_THE_CPU_RUNS_THIS_COPY()                                                   \
    if (!lumora::cpu::runs(lumora::field::COPY, lumora::cpu::features()))                             \
    GTEST_SKIP() << "this CPU lacks the instructions of the " << std::string(lumora::cpu::copy_name(lumora::field::COPY)) \
                 << " copy"
