// main() of the kernel_bench_<path> executables: runs the benchmarks only when
// the CPU offers the path this executable was built for.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string_view>

#include "common/cpu.h"

int main(int argc, char** argv) {
    const lumora::cpu::Dispatch d = lumora::cpu::choose(lumora::cpu::features(), LUMORA_BENCH_PATH);
    if (std::string_view(lumora::cpu::path_name(d)) != LUMORA_BENCH_PATH) {
        std::fprintf(stderr, "kernel_bench: this CPU lacks the instructions of the %s path\n", LUMORA_BENCH_PATH);
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
