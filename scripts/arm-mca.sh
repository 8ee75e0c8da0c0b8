#!/usr/bin/env bash
# Cycle estimates for 64-bit Arm server cores without one: the portable Fr
# multiplication, squaring (and, for comparison, squaring by the
# multiplication) and addition, compiled for aarch64 as the Release build
# compiles them (g++ -O3), each in a chain where every result feeds the next
# call (core/tests/codegen/field_chains_codegen.cpp), handed to llvm-mca with
# the Neoverse N1, V1 and V2 scheduling models of Debian's llvm-19.
#
# The figures are a model's estimates, not measurements: llvm-mca assumes
# every load hits the L1 cache, predicts every branch, and models the core's
# pipelines as LLVM describes them. They compare the kernels across cores;
# instruction counts (scripts/icount.sh) are the exact measure.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
need_debian_packages g++-aarch64-linux-gnu llvm-19

OUT=build/arm-mca
mkdir -p "$OUT"
ITERATIONS=1000
# The portable copy, with what the build gives its files (core/CMakeLists.txt).
aarch64-linux-gnu-g++ -std=c++20 -O3 -DNDEBUG -DLUMORA_KERNEL_NS=kernel_portable -DLUMORA_KERNEL_COPY=portable \
  -DLUMORA_FIELD_PORTABLE -Icore -S core/tests/codegen/field_chains_codegen.cpp -o "$OUT/chains.s"

printf '%-20s %13s' "chain" "instructions"
for cpu in neoverse-n1 neoverse-v1 neoverse-v2; do printf '%14s' "$cpu"; done
printf '\n'
for fn in chain_fr_mont_mul chain_fr_mont_sqr chain_fr_mont_sqr_by_mul chain_fr_add; do
  # The loop's body: from the label its backward branch jumps to, through
  # that branch (the loop counter and branch included), without directives.
  awk -v fn="$fn" '
    $0 == fn ":" { inside = 1; next }
    inside && /\.cfi_endproc/ { inside = 0 }
    inside { lines[++n] = $0 }
    END {
      for (i = n; i >= 1; i--)
        if (lines[i] ~ /^\t(b\.[a-z]+|cbnz|cbz|bne)\t/) { branch = i; break }
      target = lines[branch]; sub(/.*[ ,\t]/, "", target)
      for (i = 1; i < branch; i++) if (lines[i] == target ":") start = i
      for (i = start + 1; i <= branch; i++) if (lines[i] !~ /^\t\./ && lines[i] !~ /^\./) print lines[i]
    }' "$OUT/chains.s" >"$OUT/$fn.s"
  [ -s "$OUT/$fn.s" ] || { echo "no loop found in $fn" >&2; exit 1; }
  printf '%-20s %13d' "${fn#chain_}" "$(grep -c . "$OUT/$fn.s")"
  for cpu in neoverse-n1 neoverse-v1 neoverse-v2; do
    cycles="$(llvm-mca-19 -mtriple=aarch64 -mcpu="$cpu" -iterations="$ITERATIONS" "$OUT/$fn.s" |
      awk '/^Total Cycles:/ { print $3 }')"
    printf '%14s' "$(awk -v c="$cycles" -v n="$ITERATIONS" 'BEGIN { printf "%.1f", c / n }')"
  done
  printf '\n'
done
echo "(cycles per call, estimated; the loop's counter and branch included)"
