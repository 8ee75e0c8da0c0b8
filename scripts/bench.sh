#!/usr/bin/env bash
# Runs every benchmark in one go: builds and runs the core benchmarks
# (core_bench), then times the module's functions, the first call in a fresh
# process, two signing threads against one, and the peers, and prints a
# summary against the targets; then the kernel paths side by side
# (bench/paths.py): dispatched, and each path this CPU runs forced with
# LUMORA_CPU. Extra arguments go
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

# Each kernel path of this CPU side by side: the installed module and the
# per-copy kernel benchmarks, dispatched and with each path forced.
echo "== kernel paths: dispatched and each path"
cmake --build build/bench -j2 --target kernel_paths >/dev/null
quick=(); for a in "$@"; do [ "$a" = --quick ] && quick=(--quick); done
python bench/paths.py --build-dir build/bench "${quick[@]}"
