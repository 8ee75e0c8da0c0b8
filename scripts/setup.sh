# Sourced by the other scripts: installs what the project needs on a fresh
# Debian machine and activates the project's virtual environment (.venv) with
# the module built and installed from this checkout.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

# shellcheck source=scripts/packages.sh
source "$ROOT/scripts/packages.sh"
# shellcheck source=scripts/interpreters.sh
source "$ROOT/scripts/interpreters.sh"
need_debian_packages g++ cmake make libgtest-dev libbenchmark-dev python3-venv ccache

# The target interpreter is 3.12, then 3.13 and 3.11 (find_python: pyenv's
# first, then the usual names on PATH); PYTHON overrides the choice.
pick_python() {
  if [ -n "${PYTHON:-}" ]; then echo "$PYTHON"; return; fi
  local v
  for v in 3.12 3.13 3.11; do find_python "$v" && return; done
  # A newer CPython than those the project is tested on, as a last resort.
  if python3 -c 'import sys; assert sys.version_info >= (3, 11)' 2>/dev/null; then command -v python3; return; fi
  echo "no CPython 3.11 or newer found" >&2; exit 1
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
