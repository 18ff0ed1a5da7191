#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, as root, and
# only those that are missing, so a repeated run costs nothing.
# Usage: setup.sh [native]   (native: only what the Linux build of the
# plug-in and pixtagger-host need)
set -euo pipefail

# native: what builds the host and its Debian package (help2man makes the man
# pages, the Japanese one in the ja_JP.UTF-8 locale that locales makes;
# gettext checks and compiles the message catalogs; dpkg-shlibdeps, in
# dpkg-dev, reads the binaries with file). The
# encoders (heif-enc, avifenc, cjxl) make the host suites' HEIF, AVIF and
# JPEG XL files; ImageMagick their JPEG, PNG, TIFF and WebP files for
# --embed, whose pixels it then reads back; ffmpeg their videos, whose sizes
# ffprobe tells, and libavformat is the video fuzz target's oracle.
packages=(cmake ninja-build g++ make pkg-config libboost-dev libexiv2-dev libexpat1-dev libheif-dev libjxl-dev libcli11-dev help2man
  gettext locales dpkg-dev file)
if [ "${1:-}" != native ]; then
  packages+=(
    clang libclang-rt-14-dev googletest libbenchmark-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine64 xvfb xauth
    libimage-exiftool-perl clang-format clang-tidy lintian
    libheif-examples libavif-bin libjxl-tools imagemagick ffmpeg libavformat-dev
    qemu-system-x86 debootstrap e2fsprogs debian-archive-keyring
  )
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Another apt run (a package manager, the guest's script) is waited for.
  apt-get -o DPkg::Lock::Timeout=600 update -qq
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine converts the Unix side of names (command line, file names) with the
# glibc locale: without ja_JP.UTF-8 generated, a Wine run under
# LC_ALL=ja_JP.UTF-8 gets other names than a Japanese Windows would; help2man
# writes the Japanese man page in it.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: the ja_JP.UTF-8 locale is missing; run as root to generate it" >&2
    exit 1
  fi
  echo "setup: generating the ja_JP.UTF-8 locale"
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
