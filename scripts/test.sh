#!/usr/bin/env bash
# Runs every test: the core's unit tests (ctest), natively and cross-built for
# 64-bit Arm, and the module's tests (pytest), once per CPU path and, on
# x86-64, under emulated older CPUs.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

echo "== core unit tests"
cmake -S . -B build/core -DLUMORA_BUILD_TESTS=ON -DLUMORA_BUILD_MODULE=OFF >/dev/null
cmake --build build/core -j"$(nproc)"
ctest --test-dir build/core --output-on-failure -j"$(nproc)"

echo "== core unit tests on 64-bit Arm (cross-built, run under qemu-user)"
bash scripts/arm64.sh

if [ "$(uname -m)" = x86_64 ]; then
  bash scripts/cpu-paths.sh
else
  echo "== module tests"
  python -m pytest -q tests
fi
