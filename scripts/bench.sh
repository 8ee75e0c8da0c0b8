#!/usr/bin/env bash
# Runs every benchmark in one go: builds and runs the core benchmarks
# (core_bench), then times the module's functions, the first call in a fresh
# process, two signing threads against one, and the peers, and prints a
# summary against the targets; then, on x86-64 with BMI2 and ADX, the kernel
# paths side by side (bench/paths.py): the dispatched build against one tuned
# for this machine, and each path forced with LUMORA_CPU. Extra arguments go
# to bench/suite.py (--quick for a short smoke run, --slow-peers to add the
# slowest peer).
# The peers are installed into .venv by the suite, for benchmarking only.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

echo "== building core_bench"
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DLUMORA_BUILD_BENCH=ON -DLUMORA_BUILD_TESTS=OFF \
  -DLUMORA_BUILD_MODULE=OFF >/dev/null
cmake --build build/bench -j2 >/dev/null

CORE_JSON="build/bench/core_bench.json"
echo "== running core_bench (medians of 5 repetitions)"
build/bench/bench/core_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_min_time=0.1 --benchmark_out="$CORE_JSON" --benchmark_out_format=json >/dev/null

echo "== module, threads and peers"
python bench/suite.py --core-json "$CORE_JSON" "$@"

# The dispatched build (the installed module, and the per-path core benchmarks
# above) against a build tuned for this machine, kept for this comparison only.
if [ "$(uname -m)" = x86_64 ] && grep -qw adx /proc/cpuinfo && grep -qw bmi2 /proc/cpuinfo; then
  echo "== building the build-machine-tuned module and kernel benchmark"
  cmake -S . -B build/bench-tuned -DCMAKE_BUILD_TYPE=Release -DLUMORA_HOST_TUNED=ON -DLUMORA_BUILD_BENCH=ON \
    -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_MODULE=ON -DPython_EXECUTABLE="$(command -v python)" >/dev/null
  cmake --build build/bench-tuned -j2 --target kernel_bench_adx lumora_python_sdk >/dev/null
  echo "== kernel paths: dispatched against tuned, and each path"
  quick=(); for a in "$@"; do [ "$a" = --quick ] && quick=(--quick); done
  python bench/paths.py --bench-dir build/bench/bench --tuned-dir build/bench-tuned "${quick[@]}"
fi
