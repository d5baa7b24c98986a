# Sourced by the set-up scripts: install_packages PACKAGE... installs with apt-get the
# Debian packages that are not installed yet, as root or through sudo.
#
# Stages of the tests run side by side (the Windows stage's one-time builds beside the
# others), so this project's apt calls take turns through one lock (apt_locked), and
# apt itself waits for the lock of anything else that runs it.
apt_lock_file=${TMPDIR:-/tmp}/kelvory-apt-$(id -u).lock
# The command runs without the lock's descriptor, so that a daemon a package starts
# does not hold it.
apt_locked() { (flock 9 && "$@" 9>&-) 9>"$apt_lock_file"; }
apt_waits=(-o DPkg::Lock::Timeout=900)
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
  apt_locked "${as_root[@]}" apt-get update -qq "${apt_waits[@]}"
  apt_locked "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${apt_waits[@]}" "${missing[@]}"
}
