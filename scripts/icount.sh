#!/usr/bin/env bash
# Exact executed-instruction counts per operation: the module's operations
# on known answers, the nonce and the field, curve and Poseidon kernels, on
# aarch64 (under qemu-user, counted by a TCG plugin; the SHA-256 instructions
# on and off) and on x86-64 (under valgrind's callgrind; baseline and
# portable kernels). See scripts/icount.py for how a count is defined.
#
#   bash scripts/icount.sh            # print the counts
#   bash scripts/icount.sh --check    # and fail when one grew by more than 2 % over bench/icount.json
#   bash scripts/icount.sh --update   # and write them to bench/icount.json
#
# Counts depend on the compilers and tools (Debian 12's g++ 12, qemu 7.2,
# valgrind 3.19 for the recorded baseline), never on the machine's load.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
need_debian_packages cmake g++ gcc python3 valgrind qemu-user g++-aarch64-linux-gnu

OUT=build/icount
mkdir -p "$OUT"
# The plugin interface is declared in the plugin itself: nothing to install.
gcc -shared -fPIC -O2 -Wall -Wextra -o "$OUT/libcount.so" bench/icount/count_plugin.c

build() {
  local dir="$OUT/$1"
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_MODULE=OFF \
    -DLUMORA_BUILD_ICOUNT=ON "$@" >/dev/null
  cmake --build "$dir" --target icount_driver -j2 >/dev/null
}
echo "== building the count drivers"
build x86-64
# The toolchain file only when the tree is configured first (CMake warns that
# it goes unused afterwards).
toolchain=()
[ -f "$OUT/aarch64/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake)
build aarch64 "${toolchain[@]}"

echo "== counting (about a minute)"
python3 scripts/icount.py --aarch64 "$OUT/aarch64/bench/icount/icount_driver" \
  --x86-64 "$OUT/x86-64/bench/icount/icount_driver" --plugin "$OUT/libcount.so" "$@"
