#include "common/cpu.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace lumora::cpu {
namespace {

Features everything() {
    Features f;
    f.bmi2 = f.adx = f.avx512_ifma = f.sha = true;
    return f;
}

// The position of a copy in the list.
std::size_t rank(FieldCopy copy) { return static_cast<std::size_t>(copy); }

// Every combination of the features.
std::vector<Features> every_cpu() {
    std::vector<Features> cpus;
    for (unsigned bits = 0; bits < 16; ++bits)
        cpus.push_back({bool(bits & 1), bool(bits & 2), bool(bits & 4), bool(bits & 8)});
    return cpus;
}

TEST(Dispatch, EachPathIsCappedByItselfAndByTheCpu) {
    for (const Features& cpu : every_cpu()) {
        std::size_t previous = 0;
        for (const Path& path : PATHS) {
            const std::string name(path.name);
            const Dispatch d = choose(cpu, name.c_str());
            EXPECT_TRUE(built(d.copy) && runs(d.copy, cpu)) << name;
            EXPECT_LE(rank(d.copy), rank(path.copy)) << name;
            EXPECT_EQ(d.extensions, (Extensions{path.extensions.sha && cpu.sha, path.extensions.ifma && cpu.avx512_ifma}))
                << name;
            // A more capable path never runs a less capable copy.
            EXPECT_GE(rank(d.copy), previous) << name;
            previous = rank(d.copy);
        }
        // Unset, empty, "auto" and unknown names are the last path.
        const std::string last(PATHS[std::size(PATHS) - 1].name);
        for (const char* asked : {static_cast<const char*>(nullptr), "", "auto", "nonsense", "ADX"})
            EXPECT_EQ(choose(cpu, asked), choose(cpu, last.c_str())) << (asked ? asked : "null");
    }
}

TEST(Dispatch, AForcedCopyRunsWhereverTheCpuHasItsInstructions) {
    // What the scripts and tests rely on when they force each copy by name.
    for (FieldCopy copy : FIELD_COPIES) {
        if (!built(copy)) continue;
        const std::string name(copy_name(copy));
        EXPECT_EQ(choose(everything(), name.c_str()).copy, copy) << name;
    }
}

TEST(Dispatch, TheCopiesOfThisTarget) {
#if defined(__x86_64__)
    const Features none;
    EXPECT_EQ(choose(everything(), nullptr).copy, FieldCopy::adx);
    EXPECT_EQ(choose(none, "adx").copy, FieldCopy::baseline);
    // BMI2 without ADX keeps the mulq kernels.
    Features bmi2_only;
    bmi2_only.bmi2 = true;
    EXPECT_EQ(choose(bmi2_only, nullptr).copy, FieldCopy::baseline);
    EXPECT_TRUE(built(FieldCopy::baseline) && built(FieldCopy::adx));
#else
    for (FieldCopy copy : FIELD_COPIES) EXPECT_EQ(built(copy), copy == FieldCopy::portable) << copy_name(copy);
    EXPECT_EQ(choose(everything(), nullptr).copy, FieldCopy::portable);
#endif
    // The SHA-256 instructions are an extension beside the copy, not a copy.
    EXPECT_TRUE(choose(everything(), nullptr).extensions.sha);
    EXPECT_FALSE(choose(everything(), "portable").extensions.sha);
    EXPECT_FALSE(choose(everything(), "baseline").extensions.sha);
    EXPECT_FALSE(choose(everything(), "adx").extensions.ifma);
}

TEST(Dispatch, TheProcessPathNeverExceedsTheCpu) {
    const Dispatch& d = dispatch();
    const Features& f = features();
    EXPECT_TRUE(built(d.copy) && runs(d.copy, f));
    EXPECT_TRUE(!d.extensions.ifma || f.avx512_ifma);
    EXPECT_TRUE(!d.extensions.sha || f.sha);
    EXPECT_EQ(&dispatch(), &d);
}

}  // namespace
}  // namespace lumora::cpu
