#!/usr/bin/env bash
# The constant-time check of the code valgrind cannot run: the SHA-NI
# compression and the nonce steps fused over it (core/hashes/sha256_x86_64.cpp,
# core/eddsa/nonce_x86_64.cpp), the AVX-512 IFMA permutation
# (core/poseidon/permutation_ifma.cpp) and the Armv8 SHA-256 compression and
# nonce steps (core/hashes/sha256_aarch64.cpp, core/eddsa/nonce_aarch64.cpp).
# Each file is compiled exactly as the
# release build compiles it (the command CMake's Release configuration
# gives: x86-64 natively, aarch64 with the cross compiler), disassembled, and
# every function in it checked by scripts/ctime_codegen.py: no conditional
# branch and no memory index that may depend on data read from memory (see
# that script for the rule). The checker first proves itself on
# core/tests/codegen/ctime_codegen_planted.cpp, compiled the same way: each
# planted fault must be reported and each sound function must pass.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
need_debian_packages g++ cmake make python3 binutils g++-aarch64-linux-gnu binutils-aarch64-linux-gnu

OUT=build/ctime-codegen
status=0

# configure NAME [CMAKE_ARGS...]: the core's Release configuration, with its compile commands.
configure() {
  local name="$1"
  shift
  cmake -S . -B "$OUT/$name" -DCMAKE_BUILD_TYPE=Release -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_MODULE=OFF \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@" >/dev/null
}

# compile NAME SOURCE [MODEL]: compiles SOURCE with the release build's
# command for MODEL (default SOURCE itself); prints the object's path.
compile() {
  python3 - "$OUT/$1/compile_commands.json" "$2" "${3:-$2}" "$OUT/$1/check" <<'EOF'
import json, os, shlex, subprocess, sys
database, source, model, out = sys.argv[1:]
entry = next(e for e in json.load(open(database)) if os.path.realpath(e["file"]) == os.path.realpath(model))
words = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
command, skip = [], False
for w in words:
    if skip:
        skip = False
    elif w in ("-o", "-c", "-MT", "-MF"):
        skip = True
    elif w not in ("-MD", "-MMD"):
        command.append(w)
os.makedirs(out, exist_ok=True)
obj = os.path.abspath(os.path.join(out, os.path.basename(source) + ".o"))
command += ["-c", os.path.abspath(source), "-o", obj]
print(" ".join(command), file=sys.stderr)
subprocess.run(command, cwd=entry["directory"], check=True)
print(obj)
EOF
}

# check NAME ARCH OBJDUMP: the planted self-test, then the secret-handling sources.
check() {
  local name="$1" arch="$2" objdump="$3"
  shift 3
  local planted
  echo "== $arch: the checker's self-test"
  planted="$(compile "$name" core/tests/codegen/ctime_codegen_planted.cpp core/hashes/sha256.cpp)"
  python3 scripts/ctime_codegen.py "$arch" "$objdump" "$planted" --planted || status=1
  for source in "$@"; do
    echo "== $arch: $source"
    python3 scripts/ctime_codegen.py "$arch" "$objdump" "$(compile "$name" "$source")" || status=1
  done
}

if [ "$(uname -m)" = x86_64 ]; then
  configure x86-64
  check x86-64 x86-64 objdump core/hashes/sha256_x86_64.cpp core/eddsa/nonce_x86_64.cpp \
    core/poseidon/permutation_ifma.cpp
  configure aarch64 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake"
  check aarch64 aarch64 aarch64-linux-gnu-objdump core/hashes/sha256_aarch64.cpp core/eddsa/nonce_aarch64.cpp
else
  configure aarch64
  check aarch64 aarch64 objdump core/hashes/sha256_aarch64.cpp core/eddsa/nonce_aarch64.cpp
fi
[ "$status" -eq 0 ] && echo "== no secret-dependent branch or memory index found"
exit "$status"
