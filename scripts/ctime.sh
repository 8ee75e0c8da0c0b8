#!/usr/bin/env bash
# The constant-time check: builds the core with the secret marks
# (LUMORA_CTIME) and runs the driver under valgrind's memcheck, which fails
# on any branch or memory index that depends on a private key, a seed or a
# nonce. Optimised as released (-O2), with debug information for the
# reports, and without sanitizers (valgrind runs the plain binary).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

# The build needs no Python; valgrind ships the client-request header too.
PACKAGES=(g++ cmake make valgrind)
ARCH="$(dpkg --print-architecture)"  # a cross build's packages of another architecture may be there too
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p:$ARCH" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing Debian packages: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO flock /tmp/apt.lock apt-get install -y -qq "${missing[@]}" >/dev/null || {
    $SUDO flock /tmp/apt.lock apt-get update -qq
    $SUDO flock /tmp/apt.lock apt-get install -y -qq "${missing[@]}" >/dev/null
  }
fi


# One build holds every kernel path; the driver runs once per path that
# valgrind's CPU offers (portable is what 64-bit Arm builds compile).
BUILD=build/ctime
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" \
  -DLUMORA_CTIME=ON -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_MODULE=OFF -DLUMORA_SANITIZE=OFF >/dev/null
cmake --build "$BUILD" --target ctime_driver -j2
for KERNELS in auto adx baseline portable; do
  echo "== constant-time check, LUMORA_CPU=$KERNELS"
  LUMORA_CPU=$KERNELS valgrind --error-exitcode=1 --track-origins=yes --quiet "$BUILD/core/tests/ctime/ctime_driver"
done
