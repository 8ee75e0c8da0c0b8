#!/usr/bin/env bash
# The constant-time check: builds the core with the secret marks
# (LUMORA_CTIME) and runs the driver (core/tests/ctime) under valgrind's
# memcheck, which fails on any branch or memory index that depends on a
# private key, a seed or a nonce.
#
# Built as released (the ctime preset): CMake's Release flags, which the
# wheel uses (-O3 -DNDEBUG), with debug information added for the reports
# (LUMORA_CTIME adds -g, which does not change the code GCC generates) and no
# sanitizers. The driver calls every copy of the core this build has
# (common/kernel_paths.h) through the copy's own operation table and
# confirms that it is the copy it asked for: valgrind's CPU reports no ADX,
# so the dispatch alone would never run the MULX/ADX copy. The SHA-NI,
# AVX-512 IFMA and Armv8 SHA-256 forms, which valgrind cannot run, are
# checked on their disassembly by scripts/ctime-codegen.sh.
#
# Before that, the check proves itself: a planted secret-dependent branch and
# a planted secret table index must each make valgrind report an error.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/packages.sh

# The build needs no Python; valgrind ships the client-request header too.
need_debian_packages g++ cmake make valgrind

BUILD=build/ctime
cmake --preset ctime >/dev/null
echo "== flags: $(sed -n 's/^CMAKE_CXX_FLAGS:STRING=//p' "$BUILD/CMakeCache.txt")" \
  "$(sed -n 's/^CMAKE_CXX_FLAGS_RELEASE:STRING=//p' "$BUILD/CMakeCache.txt") -g"
cmake --build --preset ctime --target ctime_driver -j2
DRIVER="$BUILD/core/tests/ctime/ctime_driver"

# Valgrind's own exit code for errors, apart from the driver's.
FOUND=99
memcheck() { valgrind --error-exitcode=$FOUND --track-origins=yes "$@"; }

# planted KIND REPORT FUNCTION: valgrind must report REPORT in FUNCTION.
planted() {
  local log="$BUILD/planted-$1.log" status=0
  memcheck "$DRIVER" --planted "$1" >"$log" 2>&1 || status=$?
  if [ "$status" -ne "$FOUND" ] || ! grep -q "$2" "$log" || ! grep -q "$3" "$log"; then
    cat "$log"
    echo "FAILED: the planted secret $1 in $3 was not reported (exit $status): the check would miss real faults"
    exit 1
  fi
  echo "== the planted secret $1 was reported: $2"
}
planted branch "Conditional jump or move depends on uninitialised value" planted_secret_branch
planted index "Use of uninitialised value of size 8" planted_secret_index

echo "== constant-time check of every copy of the field kernels this build has"
memcheck --quiet "$DRIVER"
