// kernel_paths: what the scripts need to know of the kernel paths, from the
// lists the build itself is made from (common/kernel_paths.h), so that no
// script repeats them.
//
//   kernel_paths            every LUMORA_CPU path, one per line: its name, the
//                           copy it runs on a CPU with every instruction this
//                           target has a copy for, and the extensions it allows
//                           ("sha", "ifma", or "-" for none)
//   kernel_paths --copies   the copies of the field kernels this build has,
//                           one per line, the least capable first
//   kernel_paths --this-cpu the copy and the extensions a process on this CPU
//                           runs under the LUMORA_CPU this one is given, on
//                           one line in the same form
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "common/cpu.h"

namespace {

using namespace lumora::cpu;

// A CPU that runs every copy this build has.
constexpr Features EVERY_INSTRUCTION{true, true, true, true};

// Prints the words on one line.
void print_line(std::initializer_list<std::string_view> words) {
    const char* separator = "";
    for (std::string_view word : words) {
        std::printf("%s%.*s", separator, static_cast<int>(word.size()), word.data());
        separator = " ";
    }
    std::printf("\n");
}

// "sha", "ifma", "sha,ifma", or "-" for none.
std::string extension_names(const Extensions& e) {
    std::string names;
    if (e.sha) names.append("sha");
    if (e.ifma) names.append(names.empty() ? "ifma" : ",ifma");
    if (names.empty()) names.append("-");
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    static_assert(sizeof(Features) == 4, "EVERY_INSTRUCTION sets every member");
    if (argc == 2 && std::strcmp(argv[1], "--copies") == 0) {
        for (FieldCopy copy : FIELD_COPIES)
            if (built(copy)) print_line({copy_name(copy)});
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--this-cpu") == 0) {
        const Dispatch d = choose(features(), std::getenv("LUMORA_CPU"));
        print_line({copy_name(d.copy), extension_names(d.extensions)});
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "usage: kernel_paths [--copies | --this-cpu]\n");
        return 2;
    }
    for (const Path& path : PATHS) {
        const Dispatch d = choose(EVERY_INSTRUCTION, std::string(path.name).c_str());
        print_line({path.name, copy_name(d.copy), extension_names(path.extensions)});
    }
    return 0;
}
