#!/usr/bin/env bash
# Cross-builds the core and its unit tests for 64-bit Arm Linux and runs the
# tests under qemu-user: the portable field kernels and everything above them,
# as the Arm build runs them. Installs the cross compiler and the arm64
# libraries (Debian multiarch) when they are missing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! dpkg -s g++-aarch64-linux-gnu qemu-user libgtest-dev:arm64 >/dev/null 2>&1; then
  echo "== installing the arm64 cross toolchain, libraries and qemu-user"
  $SUDO dpkg --add-architecture arm64
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq g++-aarch64-linux-gnu qemu-user \
    libgtest-dev:arm64 >/dev/null
fi

BUILD=build/arm64
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DLUMORA_BUILD_TESTS=ON \
  -DLUMORA_BUILD_MODULE=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
# qemu-user as packaged here hangs on thread creation, so the one test that
# races threads into the shared parameter set runs natively only.
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" -E 'BuildsAreIdenticalAndSharedOnce'

