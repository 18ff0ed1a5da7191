#!/usr/bin/env bash
# Builds the Debian package of a native build folder, checks it with lintian
# (an error fails, warnings are shown), unpacks it with dpkg-deb -x into a
# temporary folder, and classifies the shipped example images with the
# unpacked host, which must find the unpacked plug-in, rules and Japanese
# catalog by itself.
# Usage: check_deb.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$(cd "$2" && pwd)

if ! log=$(cmake --build "$build" --target package-deb 2>&1); then
  echo "$log"
  echo "FAIL: the package was not built"
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/pixtagger_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "FAIL: no $deb"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

status=0
tags=$(lintian --fail-on error "$deb" 2>&1) || status=$?
tags=$(grep -v 'running with root privileges' <<<"$tags" || true)
[ -z "$tags" ] || sed 's/^/  lintian: /' <<<"$tags"
[ "$status" -eq 0 ] || fail "lintian reports errors (exit $status)"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
# No user rule file of whoever runs this: the unpacked examples are read.
export XDG_CONFIG_HOME="$unpacked/config"
dpkg-deb -x "$deb" "$unpacked"
for f in bin/pixtagger-host lib/pixtagger/pixtagger.so include/pixtagger.h share/pixtagger/rules.ini \
  share/man/man1/pixtagger-host.1.gz share/man/ja/man1/pixtagger-host.1.gz \
  share/locale/ja/LC_MESSAGES/pixtagger-host.mo share/doc/pixtagger/copyright share/doc/pixtagger/changelog.gz; do
  [ -f "$unpacked/usr/$f" ] || fail "the package lacks /usr/$f"
done

# Neither --plugin nor --config: the host finds both under its own /usr.
images="$source/examples/images"
out=$(cd "$unpacked" && "$unpacked/usr/bin/pixtagger-host" classify "$images" 2>/dev/null) || fail "the host exited $?"
want="$images/icon.bmp	32×32	1024 px	サムネイル [サイズ]
$images/panorama.png	100000×50000	5000000000 px	印刷 [サイズ], パノラマ [形]
$images/photo.webp	1280×960	1228800 px	画面 [サイズ], 表示用 [用途]
$images/print.tif	4000×3000	12000000 px	印刷 [サイズ]
$images/screen.jpg	1920×1080	2073600 px	画面 [サイズ], 表示用 [用途]
$images/thumb.gif	160×120	19200 px	サムネイル [サイズ]
$images/web.png	800×600	480000 px	Web [サイズ], 表示用 [用途]"
if [ "$out" != "$want" ]; then
  fail "the unpacked host printed other lines:"
  diff <(echo "$want") <(echo "$out") | sed 's/^/  /' || true
fi

# The installed catalog: a Japanese user reads Japanese, the lines stay.
err=$(LANGUAGE=ja LC_ALL=C.UTF-8 "$unpacked/usr/bin/pixtagger-host" classify "$images" "$unpacked/none" 2>&1 >/dev/null) ||
  true
[[ "$err" == *"そのようなファイルやフォルダーはありません"* ]] || fail "the unpacked host does not speak Japanese: $err"
zcat "$unpacked/usr/share/man/ja/man1/pixtagger-host.1.gz" | grep -q '^\.SH 書式' || fail "the Japanese man page has no 書式"

if [ "$failures" -ne 0 ]; then
  echo "check_deb: $deb: $failures failure(s)"
  exit 1
fi
echo "check_deb: $(basename "$deb"): lintian without errors, the unpacked host classifies the examples"
