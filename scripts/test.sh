#!/usr/bin/env bash
# The quick, complete check of the product on this machine: builds the module
# and the core's unit tests in one build tree (the core is compiled once for
# both), runs the unit tests (ctest), installs the module into .venv and runs
# its tests (pytest) on the path this CPU dispatches to. The slower stages
# (every CPU path, emulated CPUs, 64-bit Arm, wheels, sanitizers, fuzzing,
# constant time, ThreadSanitizer, soak) are scripts of their own that
# .ci/run calls; the README lists them.
set -euo pipefail
export LUMORA_SETUP_TESTS=ON
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

echo "== core unit tests"
ctest --test-dir "$MODULE_BUILD" --output-on-failure -j"$(nproc)"

echo "== module tests"
python -m pytest -q -p no:cacheprovider tests
