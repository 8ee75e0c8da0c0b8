// The count driver: runs one operation of the core a given number of times,
// so that an instruction counter (qemu's, valgrind's) run over it with N
// calls and with none gives the cost of one call as the difference over N.
//
//   icount_driver OPERATION CALLS [ARGUMENT...]
//   icount_driver --path
//   icount_driver --copies
//
// Every run makes one call first, which builds the shared tables the
// operation reads (Poseidon constants, the curve's parameter set), and then
// CALLS more: the run with none pays the start-up and the tables exactly as
// the others do. The module's operations take their arguments as the module
// functions do, followed by the result the first call must give (a known
// answer; a mismatch fails the run, so a count is never taken of a wrong
// computation). The kernels take the hexadecimal texts of kernels.cpp.
// --path prints the copy of the field kernels and the SHA-256 form this
// process runs; --copies the copies the driver has, one per line.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/cpu.h"
#include "hashes/sha256.h"
#include "icount/kernels.h"
#include "sdk/api.h"

namespace lumora::icount {

// Every copy's kernels: declared for each copy of the list
// (common/kernel_paths.h), defined (kernels.cpp) for those the build has.
#define LUMORA_ICOUNT_DECLARE_COPY(name, architecture, instructions) \
    inline namespace kernel_##name {                                 \
    extern const std::span<const Kernel> KERNELS;                    \
    }
LUMORA_FIELD_COPIES(LUMORA_ICOUNT_DECLARE_COPY)
#undef LUMORA_ICOUNT_DECLARE_COPY

namespace {

namespace api = sdk::api;
using api::Text;

// The kernels of the copy the module's operations run (sdk/api.cpp makes the
// same choice).
std::span<const Kernel> dispatched_kernels() {
    const cpu::FieldCopy chosen = cpu::dispatch().copy;
#define LUMORA_ICOUNT_COPY_KERNELS(name, architecture, instructions)    \
    if constexpr (cpu::built(cpu::FieldCopy::name)) {                   \
        if (chosen == cpu::FieldCopy::name) return kernel_##name::KERNELS; \
    }
    LUMORA_FIELD_COPIES(LUMORA_ICOUNT_COPY_KERNELS)
#undef LUMORA_ICOUNT_COPY_KERNELS
    return {};
}

template <class T>
inline void keep(const T& value) {
    __asm__ __volatile__("" : : "r"(&value) : "memory");
}

std::string text_of(const Result<std::string>& result) { return result.ok() ? result.value() : "error"; }
std::string text_of(const Result<bool>& result) {
    return result.ok() ? (result.value() ? "true" : "false") : "error";
}

// A module operation: its argument count, and a call on given arguments
// that returns the result as text.
struct Operation {
    const char* name;
    std::size_t arguments;
    std::string (*call)(const Text* args);
};

template <class R, class... P, std::size_t... I>
std::string call_with(R (*operation)(P...), const Text* a, std::index_sequence<I...>) {
    return text_of(operation(a[I]...));
}

template <class R, class... P>
constexpr std::size_t arity(R (*)(P...)) {
    return sizeof...(P);
}

template <auto Operation>
std::string call(const Text* a) {
    return call_with(Operation, a, std::make_index_sequence<arity(Operation)>{});
}

// Every operation of the list.
constexpr Operation OPERATIONS[] = {
#define LUMORA_ICOUNT_OPERATION(result, name, params, ...) \
    {#name, api::parameter_names(#params).count, &call<&api::name>},
    LUMORA_SDK_OPERATIONS(LUMORA_ICOUNT_OPERATION)
#undef LUMORA_ICOUNT_OPERATION
};

int usage() {
    std::fprintf(stderr, "usage: icount_driver OPERATION CALLS [ARGUMENT...] | --path | --copies\noperations:");
    for (const Operation& op : OPERATIONS) std::fprintf(stderr, " %s", op.name);
    for (const Kernel& kernel : dispatched_kernels()) std::fprintf(stderr, " %s", kernel.name);
    std::fprintf(stderr, "\n");
    return 2;
}

int run(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--path") == 0) {
        const std::string copy(cpu::copy_name(cpu::dispatch().copy));
        std::printf("%s %s\n", copy.c_str(), hashes::sha256_form().name);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--copies") == 0) {
        for (cpu::FieldCopy copy : cpu::FIELD_COPIES)
            if (cpu::built(copy)) std::printf("%s\n", std::string(cpu::copy_name(copy)).c_str());
        return 0;
    }
    if (argc < 3) return usage();
    const std::string_view name = argv[1], count = argv[2];
    std::uint64_t calls = 0;
    if (std::from_chars(count.data(), count.data() + count.size(), calls).ptr != count.data() + count.size())
        return usage();
    const std::vector<Text> args(argv + 3, argv + argc);

    for (const Operation& op : OPERATIONS) {
        if (name != op.name) continue;
        if (args.size() != op.arguments + 1) return usage();
        const std::string first = op.call(args.data());
        if (first != args.back()) {
            std::fprintf(stderr, "%s gave %s, not the known answer %s\n", op.name, first.c_str(),
                         std::string(args.back()).c_str());
            return 1;
        }
        for (std::uint64_t i = 0; i < calls; ++i) keep(op.call(args.data()));
        return 0;
    }
    for (const Kernel& kernel : dispatched_kernels()) {
        if (name != kernel.name) continue;
        if (args.size() != kernel.arguments) return usage();
        if (!kernel.run(args, calls)) {
            std::fprintf(stderr, "%s: inputs it cannot take\n", kernel.name);
            return 1;
        }
        return 0;
    }
    return usage();
}

}  // namespace
}  // namespace lumora::icount

int main(int argc, char** argv) { return lumora::icount::run(argc, argv); }
