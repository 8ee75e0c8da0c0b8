# Sourced by the other scripts: installs what the project needs on a fresh
# Debian machine and activates the project's virtual environment (.venv) with
# the module built and installed from this checkout.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

DEBIAN_PACKAGES=(g++ cmake make libgtest-dev libbenchmark-dev python3-venv ccache)
# Native architecture first: once arm64.sh has added the arm64 libraries, a
# bare name such as libgtest-dev is ambiguous to dpkg.
installed() { dpkg -s "$1:$(dpkg --print-architecture)" >/dev/null 2>&1 || dpkg -s "$1" >/dev/null 2>&1; }
missing=()
for p in "${DEBIAN_PACKAGES[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing Debian packages: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The target interpreter is 3.12; PYTHON overrides the choice. pyenv's
# interpreters come first when pyenv is there, then the usual names on PATH.
pick_python() {
  if [ -n "${PYTHON:-}" ]; then echo "$PYTHON"; return; fi
  local candidates=()
  if command -v pyenv >/dev/null 2>&1; then
    for v in 3.12 3.13 3.11; do
      local found
      found="$(pyenv root 2>/dev/null)/versions"
      for d in "$found"/"$v"*/bin/python"$v"; do [ -x "$d" ] && candidates+=("$d"); done
    done
  fi
  candidates+=(python3.12 python3.13 python3.11 python3)
  for c in "${candidates[@]}"; do
    if command -v "$c" >/dev/null 2>&1 && "$c" -c 'import sys; assert sys.version_info >= (3, 11)' 2>/dev/null; then
      echo "$c"; return
    fi
  done
  echo "no Python 3.11 or newer found" >&2; exit 1
}

VENV="${VENV:-$ROOT/.venv}"
if [ ! -x "$VENV/bin/python" ]; then
  "$(pick_python)" -m venv "$VENV"
fi
# shellcheck disable=SC1091
source "$VENV/bin/activate"
python -m pip install -q --upgrade pip >/dev/null
python -m pip install -q scikit-build-core pytest hypothesis mypy
# One persistent build tree, so a repeated install only compiles what changed.
# LUMORA_SETUP_TESTS=ON (scripts/test.sh) builds the core's unit tests in the
# same tree, beside the module, from the same compiled core.
MODULE_BUILD="$ROOT/build/venv"
echo "== building and installing the module for $(python -c 'import sys; print(sys.version.split()[0])')"
python -m pip install -q --no-build-isolation -Cbuild-dir="$MODULE_BUILD" \
  -Ccmake.define.LUMORA_BUILD_TESTS="${LUMORA_SETUP_TESTS:-OFF}" .
