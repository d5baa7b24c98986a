# Sourced by the set-up scripts: install_packages PACKAGE... installs with apt-get the
# Debian packages that are not installed yet, as root or through sudo.
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    # A minimal Debian has no sudo: say what is needed instead of failing on a missing command.
    if ! command -v sudo >/dev/null; then
      echo "Installing these Debian packages needs root, and there is no sudo here. Either run" >&2
      echo "this script as root, or run as root:" >&2
      echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
      echo "and then this script again." >&2
      exit 1
    fi
    as_root=(sudo)
  fi
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
