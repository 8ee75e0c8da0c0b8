#!/usr/bin/env bash
# Builds the core and its threads tests with ThreadSanitizer (clang) in
# build/tsan and runs them (core/tests/threads_test.cpp), each in its own
# process: threads racing the first use of the two once-built tables, then
# concurrent signing, verification and hashing compared with one thread's
# results. Any race report fails the run.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/packages.sh

need_debian_packages clang libclang-rt-14-dev cmake make libgtest-dev

BUILD=build/tsan
# The core and the test driver alike instrumented (LUMORA_TSAN).
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$(nproc)" --target threads_tests

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# Each test in a fresh process, so the first-use race is real. Abort
# diagnostics of the failure cases go to standard error; a race report fails
# the test's process and is shown.
tests=$("$BUILD/core/tests/threads_tests" --gtest_list_tests | awk '/^[^ ]/ {suite=$1} /^  / {print suite $1}')
[ -n "$tests" ] || { echo "no threads tests found"; exit 1; }
for t in $tests; do
  log="$BUILD/$t.log"
  if "$BUILD/core/tests/threads_tests" --gtest_filter="$t" >"$log" 2>&1; then
    echo "ok   $t"
  else
    grep -v '^called `' "$log" | tail -n 80
    echo "FAIL $t (full log: $ROOT/$log)"
    exit 1
  fi
done
