#!/usr/bin/env bash
# Runs every test: the core's unit tests (ctest), natively and cross-built for
# 64-bit Arm, the module's tests (pytest), once per CPU path, under emulated
# older x86-64 CPUs and on 64-bit Arm, and the same tests against the source
# archive and wheels as installed (scripts/wheel.sh).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

echo "== core unit tests"
cmake -S . -B build/core -DLUMORA_BUILD_TESTS=ON -DLUMORA_BUILD_MODULE=OFF >/dev/null
cmake --build build/core -j"$(nproc)"
ctest --test-dir build/core --output-on-failure -j"$(nproc)"

echo "== core unit tests on 64-bit Arm (cross-built, run under qemu-user)"
bash scripts/arm64.sh
bash scripts/field-codegen.sh

echo "== module tests on 64-bit Arm (cross-built against an arm64 CPython, run under qemu-user)"
bash scripts/arm64-module.sh

if [ "$(uname -m)" = x86_64 ]; then
  bash scripts/cpu-paths.sh
else
  echo "== module tests"
  python -m pytest -q tests
fi

echo "== source archive and wheels, installed and tested as a user gets them"
bash scripts/wheel.sh
