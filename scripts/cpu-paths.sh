#!/usr/bin/env bash
# Runs the module's tests once per CPU path (each LUMORA_CPU value but the
# last, then unset, which is the last), then the example and the known-answer
# tests under qemu-user emulating CPUs older than this one: Westmere (no
# BMI2, no ADX) and Haswell (BMI2 without ADX). An instruction the emulated
# CPU lacks kills the process with SIGILL, which fails this step. The paths
# and copies come from the module build's kernel_paths tool
# (common/kernel_paths.h lists them).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
source scripts/packages.sh

cmake --build "$MODULE_BUILD" --target kernel_paths -j2 >/dev/null
KERNEL_PATHS="$MODULE_BUILD/core/kernel_paths"
mapfile -t PATHS < <("$KERNEL_PATHS" | cut -d' ' -f1)
mapfile -t COPIES < <("$KERNEL_PATHS" --copies)
[ "${#PATHS[@]}" -gt 1 ] && [ "${#COPIES[@]}" -gt 0 ] || { echo "kernel_paths listed no paths" >&2; exit 1; }
echo "== this CPU runs: $("$KERNEL_PATHS" --this-cpu)"

for path in "${PATHS[@]:0:${#PATHS[@]}-1}"; do
  echo "== module tests, LUMORA_CPU=$path"
  LUMORA_CPU="$path" python -m pytest -q -p no:cacheprovider tests
done
echo "== module tests, LUMORA_CPU unset (the best path this CPU has: ${PATHS[-1]})"
(unset LUMORA_CPU; python -m pytest -q -p no:cacheprovider tests)

need_debian_packages qemu-user

# The venv's interpreter itself (not a wrapper script) under emulation.
PY="$(python -c 'import sys; print(sys.executable)')"
for cpu in Westmere Haswell; do
  echo "== example and known answers under qemu-x86_64 -cpu $cpu"
  # TCG lacks a few system features of these models; its warnings about them are noise here.
  quiet() { grep -v "TCG doesn't support requested feature" >&2 || true; }
  (unset LUMORA_CPU; qemu-x86_64 -cpu "$cpu" "$PY" examples/demo.py >/dev/null 2> >(quiet))
  # Asking for more than the CPU has must give what it has.
  LUMORA_CPU="${COPIES[-1]}" qemu-x86_64 -cpu "$cpu" "$PY" examples/demo.py >/dev/null 2> >(quiet)
  (unset LUMORA_CPU; qemu-x86_64 -cpu "$cpu" "$PY" -m pytest -q -p no:cacheprovider tests/test_vectors.py 2> >(quiet))
done
