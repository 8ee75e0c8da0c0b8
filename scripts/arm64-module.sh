#!/usr/bin/env bash
# Cross-builds the extension module for 64-bit Arm Linux against an arm64
# CPython 3.11 and runs the module's pytest suite with that interpreter under
# qemu-user. The interpreter is Debian's arm64 packages unpacked into a
# sysroot (apt multiarch cannot install it beside the host's Python); the
# sysroot, the downloaded packages and pytest live under build/arm64-python
# and are reused when present.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT="$PWD"

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! dpkg -s g++-aarch64-linux-gnu qemu-user >/dev/null 2>&1; then
  echo "== installing the arm64 cross toolchain and qemu-user"
  $SUDO dpkg --add-architecture arm64
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq g++-aarch64-linux-gnu qemu-user >/dev/null
fi

WORK="$ROOT/build/arm64-python"
SYSROOT="$WORK/sysroot"
SITE="$WORK/site-packages"   # pytest and its dependencies, arm64 wheels
MODULE_DIR="$WORK/module"    # the cross-built module
BUILD="$ROOT/build/arm64-module"

# The interpreter and every library it or the module loads; a complete sysroot
# keeps qemu from mixing in the cross compiler's own glibc.
ARM64_DEBS=(python3.11-minimal libpython3.11-minimal libpython3.11-stdlib libpython3.11-dev libpython3.11
  libc6 gcc-12-base libgcc-s1 libstdc++6 libbz2-1.0 libcrypt1 libdb5.3 libexpat1 libffi8 liblzma5
  libncursesw6 libtinfo6 libreadline8 libsqlite3-0 libssl3 libtirpc3 libnsl2 libgssapi-krb5-2 libk5crypto3
  libkeyutils1 libkrb5-3 libkrb5support0 libcom-err2 libuuid1 zlib1g)

if [ ! -e "$SYSROOT/.complete" ]; then
  echo "== unpacking an arm64 CPython 3.11 into $SYSROOT"
  rm -rf "$SYSROOT"
  mkdir -p "$WORK/debs" "$SYSROOT"
  pkgs=()
  for p in "${ARM64_DEBS[@]}"; do pkgs+=("$p:arm64"); done
  # apt-get download writes into the current folder; the _apt user must be able to write there.
  if ! (cd "$WORK/debs" && apt-get download -qq "${pkgs[@]}" 2>/dev/null); then
    $SUDO apt-get update -qq
    (cd "$WORK/debs" && apt-get download -qq "${pkgs[@]}")
  fi
  for deb in "$WORK"/debs/*.deb; do dpkg -x "$deb" "$SYSROOT"; done
  # Debian's /lib is a link to usr/lib; without the same link here the
  # loader finds some libraries nowhere in the sysroot and falls back to
  # the host's arm64 copies.
  if [ -d "$SYSROOT/lib" ] && [ ! -L "$SYSROOT/lib" ]; then
    cp -a "$SYSROOT/lib/." "$SYSROOT/usr/lib/"
    rm -rf "$SYSROOT/lib"
  fi
  ln -sfn usr/lib "$SYSROOT/lib"
  touch "$SYSROOT/.complete"
fi

# The interpreter as a program the host can exec: the module's tests start
# sys.executable in subprocesses, and without binfmt_misc an aarch64 binary
# cannot be exec'd directly. qemu's -0 makes this launcher the interpreter's
# own argv[0], so sys.executable points back at it.
PYTHON="$WORK/python3.11"
cat >"$PYTHON" <<EOF
#!/bin/sh
exec qemu-aarch64 -L "$SYSROOT" -0 "\$0" "$SYSROOT/usr/bin/python3.11" "\$@"
EOF
chmod +x "$PYTHON"

# What the suite imports: pytest, hypothesis, and mypy for the stubs' test.
TEST_PACKAGES="pytest hypothesis mypy"
if [ "$(cat "$SITE/.complete" 2>/dev/null)" != "$TEST_PACKAGES" ]; then
  echo "== installing $TEST_PACKAGES for the arm64 interpreter"
  rm -rf "$SITE"
  HOST_PYTHON="$(command -v python || command -v python3)"
  # shellcheck disable=SC2086
  "$HOST_PYTHON" -m pip install -q --target "$SITE" --platform manylinux2014_aarch64 --python-version 3.11 \
    --implementation cp --abi cp311 --only-binary=:all: $TEST_PACKAGES
  echo "$TEST_PACKAGES" >"$SITE/.complete"
fi

echo "== cross-building the module for arm64"
# FindPython is asked for the development files only (binding/CMakeLists.txt
# does so when cross-compiling): the host's interpreter would give the host's
# extension suffix. Debian's pyconfig.h includes the multiarch one, hence the
# sysroot's include folder on every compile.
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DCMAKE_BUILD_TYPE=Release \
  -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_MODULE=ON \
  -DPython_ROOT_DIR="$SYSROOT/usr" -DCMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES="$SYSROOT/usr/include" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
rm -rf "$MODULE_DIR"
cmake --install "$BUILD" --prefix "$MODULE_DIR" >/dev/null
ls "$MODULE_DIR"/lumora_python_sdk.cpython-311-aarch64-linux-gnu.so >/dev/null

echo "== module tests on arm64 (qemu-user)"
"$PYTHON" -c 'import platform, sys; assert platform.machine() == "aarch64", platform.machine(); print(sys.version)'
PYTHONPATH="$MODULE_DIR:$SITE" PYTHONDONTWRITEBYTECODE=1 \
  "$PYTHON" -m pytest -q -p no:cacheprovider tests "$@"
