# Sourced by the scripts that fetch from Debian's archive (i686-guest.sh,
# windows-libs.sh): where this machine's apt configuration finds it, and the
# packages they need installed.

# Prints "URI SUITE" for every deb source of this machine's apt configuration,
# both the one-line format and the deb822 (.sources) one.
apt_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk '{ sub(/#.*/, "") }
      $1 == "deb" || $1 == "deb-src" {
        i = 2
        if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
        if (i + 1 <= NF) print $i, $(i + 1)
      }' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'function flush(  n, m, i, j, u, s) {
        if (f["types"] ~ /(^|[ \t])deb(-src)?([ \t]|$)/ && f["enabled"] !~ /[Nn][Oo]/) {
          n = split(f["uris"], u); m = split(f["suites"], s)
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) print u[i], s[j]
        }
        delete f; key = ""
      }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ { if (key != "") f[key] = f[key] " " $0; next }
      { c = index($0, ":"); key = tolower(substr($0, 1, c - 1)); f[key] = substr($0, c + 1) }
      END { flush() }' "$f"
  done
}

# First URI serving SUITE, over a transport apt speaks without extra packages.
archive_for() {
  apt_sources | awk -v suite="$1" '$2 == suite && $1 ~ /^(https?|ftp|file):/ { sub(/\/+$/, "", $1); print $1; exit }'
}

# Installs those of the named packages that are missing (as root), as setup.sh
# does. Uses the sourcing script's say and die.
install_missing_packages() {
  local p status missing=()
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=600 update -qq || die "apt-get update failed; cannot install ${missing[*]}"
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    die "could not install ${missing[*]}"
}
