#!/usr/bin/env bash
# Builds the core tests and the module with AddressSanitizer and UBSan, runs
# the core tests, then the module's tests against the instrumented module.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

BUILD=build/sanitize
cmake --preset sanitize -DPython_EXECUTABLE="$(command -v python)" >/dev/null
cmake --build --preset sanitize -j"$(nproc)"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"

# The interpreter itself is not instrumented: preload the runtimes, and leave
# leak checking to the core tests (the interpreter keeps objects alive at exit).
export LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)"
export ASAN_OPTIONS=detect_leaks=0
PYTHONPATH="$ROOT/$BUILD/binding" python -m pytest -q -p no:cacheprovider tests
