# Sourced by every script that needs Debian packages: need_debian_packages P…
# installs the packages among P… that are missing (as root, or through sudo).
# A bare name means the machine's own architecture (or an "all" package): once
# arm64.sh has added the arm64 libraries, dpkg would otherwise take an arm64
# libgtest-dev for the one the native build needs. NAME:ARCH names another.
debian_package_installed() {
  local name="$1" want states
  want="$(dpkg --print-architecture)"
  case "$name" in *:*) want="${name#*:}"; name="${name%%:*}" ;; esac
  states="$(dpkg-query -W -f '${db:Status-Status} ${Architecture}\n' "$name" 2>/dev/null)" || return 1
  grep -qE "^installed ($want|all)\$" <<<"$states"
}

need_debian_packages() {
  local missing=() p
  for p in "$@"; do
    debian_package_installed "$p" || missing+=("$p")
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
