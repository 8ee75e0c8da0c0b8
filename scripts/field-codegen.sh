#!/usr/bin/env bash
# Compiles the portable field kernels as the Release build does (-O2 and -O3)
# and checks the generated code. For aarch64 every kernel must be
# straight-line, with no call and no branch, and the multiplications must use
# mul/umulh with the carries taken from the flags (adcs, or cinc on "carry
# set" after adds), never recomputed by comparisons. On an x86-64 machine the
# same kernels built for x86-64 (the portable copy) must have no branch or
# call either: they are constant-time only as long as the compiler keeps them
# branch-free.
# Prints each kernel's instruction count. The Armv8 SHA-256 routines, compiled
# the same way, must not store states or message schedules to the stack.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
need_debian_packages g++-aarch64-linux-gnu binutils-aarch64-linux-gnu

OUT=build/field-codegen
# What the build gives the files of the portable copy (core/CMakeLists.txt).
PORTABLE_COPY=(-DLUMORA_KERNEL_NS=kernel_portable -DLUMORA_KERNEL_COPY=portable -DLUMORA_FIELD_PORTABLE)
mkdir -p "$OUT"
status=0

# check TARGET CXX OBJDUMP BRANCH_REGEX CARRY_REGEX OPT [CXXFLAGS...]
# (CARRY_REGEX matches "opcode operands")
check() {
  local target="$1" cxx="$2" objdump="$3" branch="$4" carry="$5" opt="$6"
  shift 6
  local obj="$OUT/field_kernels_codegen-$target$opt.o"
  "$cxx" -std=c++20 "$opt" -DNDEBUG "${PORTABLE_COPY[@]}" "$@" -Icore -c core/tests/codegen/field_kernels_codegen.cpp -o "$obj"
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
# The Armv8 SHA-256 routines keep message schedules and states in registers:
# the only vectors they may store to the stack are the nonce set-up's recorded
# second block (16 vectors, which it wipes); registers d8-d15 are saved for
# the caller (their values are the caller's).
check_sha256_armv8() {
  local opt="$1" source obj="$OUT/sha256_armv8$1"
  : >"$obj.s"
  for source in core/hashes/sha256_aarch64.cpp core/eddsa/nonce_aarch64.cpp; do
    aarch64-linux-gnu-g++ -std=c++20 "$opt" -DNDEBUG -Icore -c "$source" -o "$obj.o"
    aarch64-linux-gnu-objdump -d --no-show-raw-insn "$obj.o" >>"$obj.s"
  done
  local report
  report="$(awk '
    /^[0-9a-f]+ <.*>:$/ { name = substr($2, 2, length($2) - 3); names[++n] = name; stored[name] = 0; next }
    /^ +[0-9a-f]+:\t/ {
      split($0, f, "\t"); op = f[2]; sub(/ .*/, "", op)
      if (op !~ /^st/ || f[3] !~ /\[sp/) next
      regs = f[3]; sub(/\[.*/, "", regs); count = split(regs, r, ",")
      for (i = 1; i < count; i++) {
        gsub(/ /, "", r[i])
        if (r[i] ~ /^q/) stored[name]++
        else if (r[i] !~ /^(d(8|9|1[0-5])|x29|x30)$/) other[name] = other[name] " " r[i]
      }
    }
    END { for (i = 1; i <= n; i++) printf "%s %d%s\n", names[i], stored[names[i]], other[names[i]] }' "$obj.s")"
  echo "aarch64 g++ $opt: SHA-256 Armv8 routines, vectors stored to the stack"
  while read -r name vectors others; do
    local allowed=0
    case "$name" in *nonce_seed*) allowed=16 ;; esac
    printf '  %-32s %3d %s\n' "$(echo "$name" | sed -E 's/^_ZN6lumora(6hashes|5eddsa)6detail[0-9]*//; s/E.*//')" "$vectors" "$others"
    if [ "$vectors" -gt "$allowed" ] || [ -n "$others" ]; then
      echo "  aarch64: $name stores state or schedule to the stack" >&2; status=1
    fi
  done <<<"$report"
}
for opt in -O2 -O3; do
  check_sha256_armv8 "$opt"
done

if [ "$(uname -m)" = x86_64 ]; then
  for opt in -O2 -O3; do
    check x86-64 g++ objdump '^(j.*|call.*|ret.+)$' '^adc[a-z]* ' "$opt"
  done
fi
exit "$status"
