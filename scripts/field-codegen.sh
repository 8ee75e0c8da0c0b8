#!/usr/bin/env bash
# Compiles the portable field kernels as the Release build does (-O2 and -O3)
# and checks the generated code. For aarch64 every kernel must be
# straight-line, with no call and no branch, and the multiplications must use
# mul/umulh with the carries taken from the flags (adcs, or cinc on "carry
# set" after adds), never recomputed by comparisons. On an x86-64 machine the
# same kernels built for x86-64 (LUMORA_PORTABLE_FIELD) must have no branch or
# call either: they are constant-time only as long as the compiler keeps them
# branch-free.
# Prints each kernel's instruction count.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
need_debian_packages g++-aarch64-linux-gnu binutils-aarch64-linux-gnu

OUT=build/field-codegen
mkdir -p "$OUT"
status=0

# check TARGET CXX OBJDUMP BRANCH_REGEX CARRY_REGEX OPT [CXXFLAGS...]
# (CARRY_REGEX matches "opcode operands")
check() {
  local target="$1" cxx="$2" objdump="$3" branch="$4" carry="$5" opt="$6"
  shift 6
  local obj="$OUT/field_kernels_codegen-$target$opt.o"
  "$cxx" -std=c++20 "$opt" -DNDEBUG "$@" -Icore -c core/tests/codegen/field_kernels_codegen.cpp -o "$obj"
  "$objdump" -d --no-show-raw-insn "$obj" >"$obj.s"
  # One line per function: name, instructions, branches and calls, multiplications, carry additions.
  local report
  report="$(awk -v branch="$branch" -v carry="$carry" '
    /^[0-9a-f]+ <.*>:$/ { name = substr($2, 2, length($2) - 3); names[++n] = name; next }
    /^ +[0-9a-f]+:\t/ {
      split($0, f, "\t"); op = f[2]; sub(/ .*/, "", op)
      insn = op " " f[3]
      if (op ~ /^(nop|nopw|nopl|xchg)$/ || op == "") next
      count[name]++
      if (op ~ branch) branches[name]++
      if (op ~ /^(mul|umulh|mulq|mulx|mulxq)$/) muls[name]++
      if (insn ~ carry) carries[name]++
    }
    END {
      for (i = 1; i <= n; i++) {
        k = names[i]
        printf "%s %d %d %d %d\n", k, count[k], branches[k] + 0, muls[k] + 0, carries[k] + 0
      }
    }' "$obj.s")"
  echo "$target g++ $opt: instructions (ret included), branches and calls, multiplications, carry additions"
  while read -r name count branches muls carries; do
    printf '  %-32s %5d %3d %4d %4d\n' "$name" "$count" "$branches" "$muls" "$carries"
    if [ "$branches" -ne 0 ]; then
      echo "  $target: $name has a branch or a call" >&2; status=1
    fi
    case "$name" in
      *mont_mul* | *mont_sqr* | *sum_of_products* | *mul_acc*)
        if [ "$muls" -eq 0 ] || [ "$carries" -eq 0 ]; then
          echo "  $target: $name has no multiplication with a carry chain" >&2; status=1
        fi ;;
    esac
  done <<<"$report"
}

for opt in -O2 -O3; do
  check aarch64 aarch64-linux-gnu-g++ aarch64-linux-gnu-objdump '^(b|bl|blr|br|cbz|cbnz|tbz|tbnz|b\..*)$' '^adcs |^cinc .*, cs$' "$opt"
done
if [ "$(uname -m)" = x86_64 ]; then
  for opt in -O2 -O3; do
    check x86-64 g++ objdump '^(j.*|call.*|ret.+)$' '^adc[a-z]* ' "$opt" -DLUMORA_PORTABLE_FIELD
  done
fi
exit "$status"
