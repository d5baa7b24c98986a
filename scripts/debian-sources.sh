# Sourced by the scripts that build from Debian's own sources or make a Debian root.
# Everything here is derived from this machine's apt sources, so that a machine behind
# another mirror or a proxy uses what it already trusts; nothing names a host itself.
#
#   apt_deb_stanzas       this machine's enabled binary ("deb") sources, one deb822
#                         stanza each, one-line entries converted
#   debian_release_uri    the archive URI of the entry that carries this release's own
#                         suite (for debootstrap)
#   ensure_deb_src        adds deb-src entries made from those when apt has none
#   fetch_source P V DIR  downloads and unpacks Debian's source P at version V into
#                         DIR/src; when V cannot be had (a security update that
#                         has gone), the release's own version instead

# apt_locked: apt's calls take turns with those of install_packages.
declare -F apt_locked >/dev/null || source "$(dirname "${BASH_SOURCE[0]}")/install-packages.sh"

debian_codename() { (. /etc/os-release && echo "${VERSION_CODENAME:-}"); }

# Prints every enabled source of type "deb" as a deb822 stanza followed by an empty
# line, its fields as written (Signed-By may hold a whole key over several lines).
apt_deb_stanzas() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk '
      function flush() {
        if (stanza != "" && has_deb && !disabled) printf "%s\n", stanza
        stanza = ""; has_deb = 0; disabled = 0
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      tolower($1) == "types:" {
        for (i = 2; i <= NF; i++) if ($i == "deb") has_deb = 1
        next
      }
      tolower($1) == "enabled:" && tolower($2) == "no" { disabled = 1 }
      { stanza = stanza $0 "\n" }
      END { flush() }
    ' "$file" | awk 'BEGIN { RS = ""; ORS = "\n\n" } { print "Types: deb\n" $0 }'
  done
  # One-line entries: deb [options] URI SUITE [COMPONENT...]
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk '
      $1 != "deb" { next }
      {
        options = ""
        i = 2
        if ($2 ~ /^\[/) {
          while (i <= NF) { options = options " " $i; if ($i ~ /\]$/) { i++; break } i++ }
          gsub(/^ *\[ *| *\] *$/, "", options)
        }
        printf "Types: deb\nURIs: %s\nSuites: %s\n", $i, $(i + 1)
        components = ""
        for (j = i + 2; j <= NF && $j !~ /^#/; j++) components = components " " $j
        if (components != "") printf "Components:%s\n", components
        n = split(options, option, " ")
        for (k = 1; k <= n; k++) {
          split(option[k], kv, "=")
          if (kv[1] == "signed-by") printf "Signed-By: %s\n", kv[2]
          else if (kv[1] == "arch") printf "Architectures: %s\n", kv[2]
          else if (kv[1] == "trusted") printf "Trusted: %s\n", kv[2]
        }
        printf "\n"
      }
    ' "$file"
  done
}

# The URI of the first enabled "deb" entry whose suites include the release's own
# (bookworm, not bookworm-updates or bookworm-security): the archive a new root of
# this release installs from.
debian_release_uri() {
  local codename
  codename=$(debian_codename)
  [ -n "$codename" ] || return 0
  apt_deb_stanzas | awk -v codename="$codename" '
    BEGIN { RS = ""; FS = "\n" }
    {
      uri = ""; release = 0
      for (i = 1; i <= NF; i++) {
        split($i, word, /[ \t]+/)
        field = tolower(word[1])
        if (field == "uris:") uri = word[2]
        if (field == "suites:") for (w = 2; w in word; w++) if (word[w] == codename) release = 1
      }
      if (release && uri != "") { print uri; exit }
    }'
}

# as_root COMMAND...: runs it as root, through sudo when needed.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

has_deb_src() {
  grep -hsiE '^Types:.*\bdeb-src\b' /etc/apt/sources.list.d/*.sources | grep -q . && return 0
  grep -hsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | grep -q .
}

ensure_deb_src() {
  if ! has_deb_src; then
    local stanzas
    stanzas=$(apt_deb_stanzas)
    if [ -z "$stanzas" ]; then
      echo "apt has no enabled Debian source of type \"deb\" (in /etc/apt/sources.list or" \
        "/etc/apt/sources.list.d/), so no deb-src entry can be made from one: add the" \
        "archive this machine installs from, or a deb-src entry, and run this again" >&2
      return 1
    fi
    echo "Adding deb-src entries made from this machine's apt sources:" \
      "/etc/apt/sources.list.d/kelvory-debian-src.sources"
    sed 's/^Types: deb$/Types: deb-src/' <<<"$stanzas" |
      as_root tee /etc/apt/sources.list.d/kelvory-debian-src.sources >/dev/null
    apt_locked as_root apt-get update -qq "${apt_waits[@]}"
  fi
}

# Runs a step quietly into $1.log; when it fails, the end of what it said is shown.
quiet_step() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { tail -n 60 "$log" >&2; return 1; }
}

# fetch_source PACKAGE VERSION DIR: Debian's source of PACKAGE at VERSION, unpacked into
# DIR/src (apt has checked its files against the signed archive index). When that
# version's source is not to be had (a security update whose source has left the
# archive, or a security archive out of reach), the release's own version is used, and
# this says so. Prints the version unpacked.
fetch_source() {
  local package=$1 version=$2 dir=$3 codename
  local as_downloader=()  # apt's own download user cannot write into a root's private folder
  [ "$(id -u)" -ne 0 ] || as_downloader=(-o APT::Sandbox::User=root)
  codename=$(debian_codename)
  ensure_deb_src
  [ -n "$(apt-cache showsrc "$package" 2>/dev/null)" ] || apt_locked as_root apt-get update -qq "${apt_waits[@]}"
  mkdir -p "$dir"
  if ! (cd "$dir" && quiet_step "$dir/fetch" apt_locked apt-get source -qq "${as_downloader[@]}" --download-only \
    "$package=$version") 2>/dev/null; then
    echo "The source of $package $version cannot be fetched; building $codename's own version instead" >&2
    rm -f "$dir"/*.dsc "$dir"/*.tar.* "$dir"/*.diff.gz
    (cd "$dir" && quiet_step "$dir/fetch" apt_locked apt-get source -qq "${as_downloader[@]}" --download-only \
      "$package/$codename") >&2 || return 1
  fi
  (cd "$dir" && quiet_step "$dir/unpack" dpkg-source --no-check -x ./*.dsc src) >&2 || return 1
  sed -n 's/^Version: //p' "$dir"/*.dsc | head -n1
}
