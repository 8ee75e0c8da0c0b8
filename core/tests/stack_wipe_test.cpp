// The stack wipe after operations on secrets: it zeroes the stack below its
// caller, and it reaches deeper than every secret-taking operation goes on
// every copy of the field kernels this CPU runs, with a quarter to spare.
// (That nothing of a secret is left after a call through the module is
// checked by tests/test_memory_residue.py.)
//
// Depths are measured by painting the stack below a frame, running the
// operation from that frame and finding the deepest byte it changed. The
// cases are all those of the known-answer file, failures and aborts included
// (unwinding runs below the frame that throws).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/cpu.h"
#include "common/secret.h"
#include "sdk/operation_table.h"
#include "vector_file.h"

namespace lumora::sdk {
namespace {

constexpr unsigned char PAINT = 0x5a;
// Far deeper than any operation goes, in every build.
constexpr std::size_t PAINTED = 4 * STACK_WIPE_BYTES;
// The frames of the painting, measuring and wiping functions themselves lie
// within this much of the top of the painted area.
constexpr std::size_t FRAME_SLACK = 256;

// Paints `bytes` of stack just below the caller's frame; returns the lowest
// painted address.
[[gnu::noinline]] std::uintptr_t paint_stack_below_caller(std::size_t bytes) {
    auto* p = static_cast<unsigned char*>(__builtin_alloca(bytes));
    std::memset(p, PAINT, bytes);
    __asm__ __volatile__("" : : "r"(p) : "memory");
    return reinterpret_cast<std::uintptr_t>(p);
}

// Reads stack below the reader's own frame, which no instrumentation may
// object to.
[[gnu::noinline]] __attribute__((no_sanitize_address)) std::size_t count_leading(std::uintptr_t low,
                                                                                   std::size_t size,
                                                                                   unsigned char value) {
    const auto* p = reinterpret_cast<const volatile unsigned char*>(low);
    std::size_t i = 0;
    while (i < size && p[i] == value) ++i;
    return i;
}

[[gnu::noinline]] __attribute__((no_sanitize_address)) bool all_equal(std::uintptr_t low, std::uintptr_t high,
                                                                       unsigned char value) {
    const auto* p = reinterpret_cast<const volatile unsigned char*>(low);
    for (std::size_t i = 0; i < high - low; ++i)
        if (p[i] != value) return false;
    return true;
}

struct Painted {
    std::uintptr_t low;   // the lowest painted address
    std::uintptr_t high;  // just above the highest
};

// Runs `work` from this frame over freshly painted stack; `inspect` then
// looks at the painted area with the stack as `work` left it.
[[gnu::noinline]] void run_over_paint(const std::function<void()>& work,
                                      const std::function<void(const Painted&)>& inspect) {
    const std::uintptr_t low = paint_stack_below_caller(PAINTED);
    work();
    inspect(Painted{low, low + PAINTED});
}

// How deep below the painted area's top `work` writes.
std::size_t stack_depth(const std::function<void()>& work) {
    std::size_t depth = 0;
    run_over_paint(work, [&](const Painted& area) {
        depth = PAINTED - count_leading(area.low, PAINTED, PAINT);
    });
    return depth;
}

using Args = std::vector<std::string>;
using TableCall = std::function<void(const OperationTable&, const Args&)>;

template <class R, class... P, std::size_t... I>
void call_with(R (*f)(P...), const Args& a, std::index_sequence<I...>) {
    try {
        (void)f(std::string_view(a.at(I))...);
    } catch (const Abort&) {
    }
}

template <class R, class... P>
void call(R (*f)(P...), const Args& a) {
    call_with(f, a, std::index_sequence_for<P...>{});
}

struct SecretOperation {
    const char* name;
    TableCall call;
};

// Every SECRET row of the operation list.
#define LUMORA_SECRET_ROW(result, name, params, inputs, ...) LUMORA_OPERATION_IF_##inputs(name)
#define LUMORA_OPERATION_IF_SECRET(name) \
    SecretOperation{#name, [](const OperationTable& t, const Args& a) { call(t.name, a); }},
#define LUMORA_OPERATION_IF_PUBLIC(name)
const std::vector<SecretOperation> SECRET_OPERATIONS = {LUMORA_SDK_OPERATIONS(LUMORA_SECRET_ROW)};
#undef LUMORA_OPERATION_IF_PUBLIC
#undef LUMORA_OPERATION_IF_SECRET
#undef LUMORA_SECRET_ROW

std::vector<Args> cases_of(const std::string& name) {
    static const testing::JsonValue file = testing::load_vector_file("functions.json");
    std::vector<Args> out;
    for (const auto& c : file["functions"][name]["cases"].items) {
        Args args;
        for (const auto& a : c["args"].items) args.push_back(a.text);
        out.push_back(std::move(args));
    }
    return out;
}

// The tables of the copies this build has whose instructions this CPU offers.
std::vector<std::pair<std::string_view, const OperationTable*>> runnable_tables() {
    std::vector<std::pair<std::string_view, const OperationTable*>> tables;
    for (cpu::FieldCopy copy : cpu::FIELD_COPIES)
        if (cpu::built(copy) && cpu::runs(copy, cpu::features()))
            tables.emplace_back(cpu::copy_name(copy), operation_table(copy));
    return tables;
}

// Paints the stack below this frame, then wipes from this same frame.
[[gnu::noinline]] Painted paint_then_wipe() {
    const std::uintptr_t low = paint_stack_below_caller(PAINTED);
    wipe_stack_below_caller();
    return Painted{low, low + PAINTED};
}

TEST(StackWipe, ZeroesTheStackBelowItsCaller) {
    const Painted area = paint_then_wipe();
    EXPECT_TRUE(all_equal(area.high - STACK_WIPE_BYTES + FRAME_SLACK, area.high - FRAME_SLACK, 0));
    // Nothing far below is touched (the zeroing's own call frames lie just
    // below the region).
    EXPECT_TRUE(all_equal(area.low, area.high - STACK_WIPE_BYTES - 16 * FRAME_SLACK, PAINT));
}

TEST(StackWipe, ReachesDeeperThanEverySecretTakingOperation) {
    const auto tables = runnable_tables();
    ASSERT_FALSE(tables.empty());
    // The shared tables are built first: their construction, deep as it
    // goes, handles nothing secret.
    for (const auto& [copy, table] : tables)
        for (const SecretOperation& op : SECRET_OPERATIONS) op.call(*table, cases_of(op.name).front());
    std::size_t deepest = 0;
    for (const SecretOperation& op : SECRET_OPERATIONS) {
        const std::vector<Args> cases = cases_of(op.name);
        ASSERT_FALSE(cases.empty()) << op.name;
        for (const auto& [copy, table] : tables) {
            // A named reference: clang before 16 cannot capture a structured binding.
            const auto& copy_table = *table;
            for (std::size_t i = 0; i < cases.size(); ++i) {
                const std::size_t depth = stack_depth([&] { op.call(copy_table, cases[i]); });
                ASSERT_LT(depth, PAINTED) << "paint deeper: " << op.name;
                EXPECT_LE(depth + depth / 4, STACK_WIPE_BYTES)
                    << op.name << " case " << i << " on the " << copy << " copy goes " << depth << " bytes deep";
                deepest = std::max(deepest, depth);
            }
        }
    }
    std::printf("deepest secret-taking operation: %zu bytes of stack; the wipe covers %zu\n", deepest,
                STACK_WIPE_BYTES);
}

}  // namespace
}  // namespace lumora::sdk
