# Sourced by the check scripts: finds the build machine's CPython of a version,
# and fetches Debian's arm64 CPython of a release into build/ to build against
# and to run under qemu-user. Needs ROOT, the checkout.

# The build machine's interpreter of version $1 (3.X): pyenv's first, then
# python3.X on PATH. Prints its path; fails when there is none.
find_python() {
  local candidates=() p c
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

# arm64_python SUITE VERSION: Debian SUITE's arm64 CPython VERSION (3.X),
# interpreter, standard library and headers, with every library they load,
# unpacked into build/arm64-python/VERSION/sysroot; then a launcher beside it
# and pytest, hypothesis, mypy and pip for it in build/arm64-python/VERSION/site.
# Sets ARM64_SYSROOT, ARM64_PYTHON (the launcher) and ARM64_SITE. What was
# fetched before is reused.
#
# apt multiarch cannot install an arm64 interpreter beside the host's (the
# packages conflict or are version-locked to the host's), and another release's
# is not in the machine's sources at all. So apt runs with a configuration of
# its own: the machine's Debian sources with the suite changed, arm64 only, an
# empty package database, and lists and downloads in its own folders. It
# resolves the packages' dependencies as for an empty arm64 system, downloads
# them, and dpkg unpacks them into the sysroot; the machine's apt and dpkg
# state is neither read nor written.
arm64_python() {
  local suite="$1" version="$2"
  local base="$ROOT/build/arm64-python/$version"
  ARM64_SYSROOT="$base/sysroot"
  ARM64_PYTHON="$base/python$version"
  ARM64_SITE="$base/site"
  mkdir -p "$base"
  # The interpreter as a program the host can exec: the tests start
  # sys.executable in subprocesses, and without binfmt_misc an aarch64 binary
  # cannot be exec'd directly. qemu's -0 makes this launcher the interpreter's
  # own argv[0], so sys.executable points back at it. A complete sysroot keeps
  # qemu from mixing in the cross compiler's own C library. Debian builds
  # trixie with pointer authentication in every function; qemu's default
  # emulation of its cipher makes the interpreter four times slower, its
  # implementation-defined one does not (the CPU keeps every other feature).
  cat >"$ARM64_PYTHON" <<EOF
#!/bin/sh
exec qemu-aarch64 -cpu max,pauth-impdef=on -L "$ARM64_SYSROOT" -0 "\$0" "$ARM64_SYSROOT/usr/bin/python$version" "\$@"
EOF
  chmod +x "$ARM64_PYTHON"
  if [ ! -e "$ARM64_SYSROOT/.complete" ]; then
    echo "== fetching Debian $suite's arm64 CPython $version into $ARM64_SYSROOT"
    local apt="$base/apt"
    rm -rf "$apt" "$ARM64_SYSROOT"
    mkdir -p "$apt/sources" "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/state" "$apt/preferences" \
      "$ARM64_SYSROOT"
    : >"$apt/status"
    arm64_sources "$suite" "$apt/sources"
    local options=(
      -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources"
      -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts="$apt/preferences"
      -o Dir::State="$apt/state" -o Dir::State::Lists="$apt/lists" -o Dir::State::status="$apt/status"
      -o Dir::Cache="$apt/cache" -o APT::Architecture=arm64 -o APT::Architectures::=arm64
      # The folders are ours, not the _apt user's.
      -o APT::Sandbox::User=root
    )
    apt-get "${options[@]}" -qq update
    DEBIAN_FRONTEND=noninteractive apt-get "${options[@]}" -qq install --download-only -y --no-install-recommends \
      "python$version-minimal" "libpython$version-stdlib" "libpython$version-dev" >/dev/null
    local deb
    for deb in "$apt"/cache/archives/*.deb; do dpkg -x "$deb" "$ARM64_SYSROOT"; done
    # Python's headers alone stay in the include folder: it goes on the
    # compiler's path for Debian's multiarch pyconfig.h, and the C library's
    # headers there would stand before the cross compiler's own and tie the
    # module to this release's newer glibc.
    local include="$ARM64_SYSROOT/usr/include"
    find "$include" -mindepth 1 -maxdepth 1 ! -name "python$version" ! -name aarch64-linux-gnu -exec rm -rf {} +
    find "$include/aarch64-linux-gnu" -mindepth 1 -maxdepth 1 ! -name "python$version" -exec rm -rf {} +
    # Debian's /lib, /bin and /sbin are links into /usr, made by packages not
    # unpacked here. Without the same links the loader finds some libraries
    # nowhere in the sysroot and qemu falls back to the host's own copies.
    local d
    for d in lib bin sbin; do
      if [ -d "$ARM64_SYSROOT/$d" ] && [ ! -L "$ARM64_SYSROOT/$d" ]; then
        mkdir -p "$ARM64_SYSROOT/usr/$d"
        cp -a "$ARM64_SYSROOT/$d/." "$ARM64_SYSROOT/usr/$d/"
        rm -rf "${ARM64_SYSROOT:?}/$d"
      fi
      ln -sfn "usr/$d" "$ARM64_SYSROOT/$d"
    done
    [ -x "$ARM64_SYSROOT/usr/bin/python$version" ] || { echo "no python$version in $ARM64_SYSROOT" >&2; return 1; }
    # Debian compiles the standard library when it installs the packages;
    # unpacked, it has no bytecode, and compiling it again in every process
    # under emulation takes seconds. The recorded paths are those the
    # interpreter sees.
    arm64_compile "$version" "$ARM64_SYSROOT/usr/lib/python$version" -s "$ARM64_SYSROOT" -p /
    rm -rf "$apt"
    touch "$ARM64_SYSROOT/.complete"
  fi

  # What the test suite imports (pytest, hypothesis, mypy for the stubs' test)
  # and pip, which installs the wheels from inside the arm64 interpreter.
  # Fetched by the host's pip as arm64 wheels: quicker than pip under qemu.
  local packages="pip pytest hypothesis mypy" stamp
  stamp="$packages (cp${version/./} manylinux_2_28, compiled)"
  if [ "$(cat "$ARM64_SITE/.complete" 2>/dev/null)" != "$stamp" ]; then
    echo "== fetching $packages for the arm64 CPython $version"
    rm -rf "$ARM64_SITE"
    # pip takes each platform tag as it is (manylinux2014 alone also stands
    # for its older aliases); the interpreters have glibc 2.36 or newer.
    # shellcheck disable=SC2086
    "${HOST_PYTHON:-python3}" -m pip install -qq --no-compile --target "$ARM64_SITE" \
      --platform manylinux2014_aarch64 --platform manylinux_2_28_aarch64 --python-version "$version" \
      --implementation cp --abi "cp${version/./}" --only-binary=:all: $packages
    arm64_compile "$version" "$ARM64_SITE"
    echo "$stamp" >"$ARM64_SITE/.complete"
  fi
}

# arm64_compile VERSION DIR [OPTION...]: compiles the Python files in DIR to
# bytecode for CPython VERSION, with compileall's OPTIONs: by the build
# machine's CPython of that version when there is one (the bytecode is the
# same on every architecture), else by the arm64 one under qemu-user.
arm64_compile() {
  local version="$1" dir="$2" python
  shift 2
  python="$(find_python "$version")" || python="$ARM64_PYTHON"
  "$python" -m compileall -q -j0 "$@" "$dir" >/dev/null
}

# arm64_sources SUITE DIR: sources for apt of the given suite in DIR: the
# machine's own Debian entries for its release (deb822 or one-line form), the
# main component, the suite replaced. Nothing else of the machine's sources is
# kept.
arm64_sources() {
  local suite="$1" dir="$2" codename f
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    # Stanzas whose suites include the release itself (not -updates or -security alone).
    awk -v codename="$codename" -v suite="$suite" '
      BEGIN { RS = ""; FS = "\n" }
      {
        keep = 0; out = ""
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^Suites:/) {
            n = split(substr(line, 8), words, /[ \t]+/)
            for (j = 1; j <= n; j++) if (words[j] == codename) keep = 1
            line = "Suites: " suite
          } else if (line ~ /^Types:/) {
            line = "Types: deb"
          } else if (line ~ /^Components:/) {
            line = "Components: main"
          } else if (line ~ /^(Architectures|Enabled):/) {
            continue
          }
          out = out line "\n"
        }
        if (keep) printf "%s\n", out
      }' "$f"
  done >"$dir/debian.sources"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] || continue
    # One-line entries: "deb [options] URI SUITE COMPONENT...".
    awk -v codename="$codename" -v suite="$suite" '
      $1 == "deb" {
        i = 2
        if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
        if ($(i + 1) != codename) next
        line = $1
        for (j = 2; j <= i; j++) line = line " " $j
        print line " " suite " main"
      }' "$f"
  done >"$dir/debian.list"
  if [ ! -s "$dir/debian.sources" ] && [ ! -s "$dir/debian.list" ]; then
    echo "no Debian $codename entry in the machine's apt sources to take $suite's from" >&2
    return 1
  fi
}
