// main() of the kernel_bench_<copy> executables: runs the benchmarks only when
// the CPU runs the copy this executable was built for.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "common/cpu.h"
#include "common/kernel_copy.h"

int main(int argc, char** argv) {
    using namespace lumora;
    if (!cpu::runs(field::COPY, cpu::features())) {
        std::fprintf(stderr, "kernel_bench: this CPU lacks the instructions of the %s copy\n",
                     std::string(cpu::copy_name(field::COPY)).c_str());
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
