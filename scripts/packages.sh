# Sourced by the check scripts: need_debian_packages P… installs the Debian
# packages among P… that are missing (as root, or through sudo).
need_debian_packages() {
  local missing=() p arch
  arch="$(dpkg --print-architecture)"
  # A package installed for several architectures is only found by its
  # architecture-qualified name.
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || dpkg -s "$p:$arch" >/dev/null 2>&1 || missing+=("$p")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "== installing Debian packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # Installs started by other scripts at the same time wait for each other.
  local lock=()
  command -v flock >/dev/null 2>&1 && lock=(flock /tmp/apt.lock)
  $sudo "${lock[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo "${lock[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}
