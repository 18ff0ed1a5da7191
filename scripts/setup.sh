#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, as root, and
# only those that are missing, so a repeated run costs nothing.
# Usage: setup.sh [native]   (native: only what the Linux build of the
# plug-in and pixtagger-host need)
set -euo pipefail

packages=(cmake ninja-build g++ make pkg-config libboost-dev libexiv2-dev)
if [ "${1:-}" != native ]; then
  packages+=(
    clang libclang-rt-14-dev googletest libbenchmark-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine64 xvfb xauth
  )
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
