#!/usr/bin/env bash
# Pictures of the two dialogs for the README, taken under wine64 + Xvfb: the
# rule list over examples/rules.ini (one rule disabled, two rows selected) and
# the editor on the first selected rule, a range. Writes docs/rule-list.png
# and docs/rule-editor.png. Run as root on Debian 12 from anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# The pictures alone need these: a converter, and a proportional Japanese
# font like the one Japanese Windows gives dialogs.
for p in imagemagick fonts-ipafont-gothic; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" != "install ok installed" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
  fi
done

cmake -S . -B build/win64 -G Ninja -Wno-dev -DPIXTAGGER_TESTS=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
ninja -C build/win64 dialog_screenshots >/dev/null

# A prefix of its own, so the font choices below never reach the test runs.
export WINEPREFIX="$PWD/build/win64/wineprefix-screenshots" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  $wine wineboot --init >/dev/null 2>&1 || true
  # No window manager under Xvfb: Wine draws the caption itself.
  for value in Managed Decorated; do
    $wine reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /d N /f >/dev/null 2>&1
  done
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "Tahoma" "MS Sans Serif"; do
    $wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null 2>&1
  done
  /usr/lib/wine/wineserver -w
fi

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
# Wine's Z: drive is the root folder.
windows_path() { echo "Z:${1//\//\\}"; }
rules=$(windows_path "$PWD/examples/rules.ini")
out=$(windows_path "$shots")
(cd build/win64 && LC_ALL=ja_JP.UTF-8 timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
  $wine dialog_screenshots.exe "$rules" "$out" 2> >(grep -v '^X connection' >&2))
mkdir -p docs
convert "$shots/list.bmp" docs/rule-list.png
convert "$shots/editor.bmp" docs/rule-editor.png
echo "screenshots: docs/rule-list.png docs/rule-editor.png"
