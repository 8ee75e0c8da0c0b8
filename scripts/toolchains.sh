#!/usr/bin/env bash
# Builds the core's unit tests and the module with the oldest compilers the
# build supports, GCC 11 and clang 14 (Debian's g++-11 and clang-14 stand for
# the compilers of Ubuntu 22.04 and Amazon Linux 2023, and for Debian's clang),
# and runs ctest and the module's pytest suite against each build. Then:
#   - clang 14 compiles the Armv8 SHA-256 form for 64-bit Arm (clang offers
#     those intrinsics only to a file built for the extension);
#   - an older compiler (clang 13) stops at configure, with one line naming
#     the minimum.
# Build trees: build/toolchains/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT="$PWD"
source scripts/packages.sh
source scripts/interpreters.sh

COMPILERS=(g++-11 clang++-14)
need_debian_packages g++-11 clang-14 clang-13 g++-aarch64-linux-gnu cmake make libgtest-dev python3-venv ccache

WORK="$ROOT/build/toolchains"
mkdir -p "$WORK"
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_DIR="$ROOT/build/ccache" CCACHE_BASEDIR="$ROOT"
fi

# A virtual environment with what the tests import, and no installed module:
# each run imports the module of one build tree.
PYTHON=""
for v in 3.12 3.13 3.11; do
  PYTHON="$(find_python "$v")" && break
done
[ -n "$PYTHON" ] || { echo "no CPython 3.11 or newer found" >&2; exit 1; }
VENV="$WORK/venv"
if [ ! -e "$VENV/.complete" ]; then
  rm -rf "$VENV"
  "$PYTHON" -m venv "$VENV"
  "$VENV/bin/python" -m pip install -q pytest hypothesis mypy
  touch "$VENV/.complete"
fi

for cxx in "${COMPILERS[@]}"; do
  build="$WORK/$cxx"
  echo "== $cxx ($("$cxx" --version | head -1)): core unit tests and module"
  cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release -DLUMORA_BUILD_TESTS=ON \
    -DLUMORA_BUILD_MODULE=ON -DPython_EXECUTABLE="$VENV/bin/python" >/dev/null
  cmake --build "$build" -j"$(nproc)"
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
  # The module and its stubs, as an install lays them out.
  rm -rf "$build/installed"
  cmake --install "$build" --prefix "$build/installed" >/dev/null
  echo "== $cxx: module tests"
  PYTHONPATH="$build/installed" "$VENV/bin/python" -c "
import pathlib, lumora_python_sdk as m
assert pathlib.Path(m.__file__).parent == pathlib.Path('$build/installed'), m.__file__"
  PYTHONPATH="$build/installed" "$VENV/bin/python" -m pytest -q -p no:cacheprovider tests
done

echo "== clang 14: the Armv8 SHA-256 form and nonce steps, built for the extension"
for source in core/hashes/sha256_aarch64.cpp core/eddsa/nonce_aarch64.cpp; do
  object="$WORK/$(basename "$source" .cpp).o"
  clang++-14 --target=aarch64-linux-gnu -march=armv8-a+sha2 -std=c++20 -O2 -Wall -Wextra -Werror -Icore \
    -c "$source" -o "$object"
  rounds="$(aarch64-linux-gnu-objdump -d "$object" | grep -c $'\tsha256h\t' || true)"
  [ "$rounds" -gt 0 ] || { echo "no sha256h instruction in the clang 14 build of $source" >&2; exit 1; }
  echo "   $source: $rounds sha256h instructions"
done

echo "== clang 13: configure stops with the minimum"
log="$WORK/clang-13.log"
rm -rf "$WORK/clang++-13"
if cmake -S . -B "$WORK/clang++-13" -DCMAKE_CXX_COMPILER=clang++-13 >"$log" 2>&1; then
  echo "configuring with clang 13 succeeded" >&2
  exit 1
fi
line="$(grep "needs GCC" "$log" || true)"
[[ "$line" == *"needs GCC 11 or clang 14 or newer; found Clang 13."* ]] || { cat "$log" >&2; exit 1; }
echo "   ${line#"${line%%[! ]*}"}"
echo "== GCC 11 and clang 14 builds pass"
