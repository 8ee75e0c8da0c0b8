#include "common/cpu.h"

#include <gtest/gtest.h>

namespace lumora::cpu {
namespace {

Features everything() {
    Features f;
    f.bmi2 = f.adx = f.avx512_ifma = f.sha = true;
    return f;
}

TEST(Dispatch, ForcedPathsAreCappedByTheCpu) {
    const Features all = everything();
    const Features none;
#if defined(__x86_64__)
    EXPECT_EQ(choose(all, nullptr).field, FieldKernel::X86Adx);
    EXPECT_TRUE(choose(all, "").ifma_permutation);
    EXPECT_TRUE(choose(all, "auto").sha_extensions);
    EXPECT_STREQ(path_name(choose(all, "ifma")), "ifma");
    EXPECT_STREQ(path_name(choose(all, "adx")), "adx");
    EXPECT_FALSE(choose(all, "adx").ifma_permutation);
    EXPECT_TRUE(choose(all, "adx").sha_extensions);
    EXPECT_EQ(choose(all, "baseline").field, FieldKernel::X86Baseline);
    EXPECT_FALSE(choose(all, "baseline").sha_extensions);
    EXPECT_EQ(choose(all, "portable").field, FieldKernel::Portable);
    EXPECT_FALSE(choose(all, "portable").sha_extensions);
    // A CPU without the extensions gets the baseline, whatever is asked for.
    for (const char* asked : {"ifma", "adx", "baseline", "auto", "nonsense"}) {
        const Dispatch d = choose(none, asked);
        EXPECT_EQ(d.field, FieldKernel::X86Baseline) << asked;
        EXPECT_FALSE(d.ifma_permutation || d.sha_extensions) << asked;
    }
    // BMI2 without ADX keeps the mulq kernels.
    Features bmi2_only;
    bmi2_only.bmi2 = true;
    EXPECT_EQ(choose(bmi2_only, "adx").field, FieldKernel::X86Baseline);
#else
    EXPECT_EQ(choose(all, nullptr).field, FieldKernel::Portable);
    EXPECT_TRUE(choose(all, nullptr).sha_extensions);
    EXPECT_FALSE(choose(all, "portable").sha_extensions);
    EXPECT_FALSE(choose(none, nullptr).sha_extensions);
#endif
}

TEST(Dispatch, TheProcessPathNeverExceedsTheCpu) {
    const Dispatch& d = dispatch();
    const Features& f = features();
    EXPECT_TRUE(d.field != FieldKernel::X86Adx || (f.bmi2 && f.adx));
    EXPECT_TRUE(!d.ifma_permutation || f.avx512_ifma);
    EXPECT_TRUE(!d.sha_extensions || f.sha);
    EXPECT_EQ(&dispatch(), &d);
}

}  // namespace
}  // namespace lumora::cpu
