#!/usr/bin/env bash
# Checks the Windows release zip: exactly the expected files, every program
# and library in it importing only DLLs that Windows itself provides (the
# compiler's runtime linked in, not shipped beside it), both without symbols
# or debug information, the DLL passing the same outside check as the
# build's, every linked library's licence in THIRD-PARTY.txt, and the source
# zip beside it.
# Usage: check_package.sh ZIP OBJDUMP CHECK_DLL_SCRIPT
set -euo pipefail
zip=$1 objdump=$2 check_dll=$3

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

name=$(basename "$zip" .zip)
expected="$name/LICENSE.txt
$name/README-ja.txt
$name/README.txt
$name/THIRD-PARTY.txt
$name/docs/rule-editor.png
$name/docs/rule-list.png
$name/examples/rules.ini
$name/locale/ja/LC_MESSAGES/pixtagger-host.mo
$name/pixtagger-host.exe
$name/pixtagger.def
$name/pixtagger.dll
$name/pixtagger.h"
actual=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  fail "the package's files differ"
  diff <(echo "$expected") <(echo "$actual") | sed 's/^/  /' || true
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$(realpath "$zip")")

# Windows' own DLLs that our programs may import; anything else (libstdc++-6,
# libgcc_s, libwinpthread-1, …) would have to be shipped and is refused.
system_dlls=" kernel32.dll user32.dll gdi32.dll msvcrt.dll ole32.dll oleaut32.dll comctl32.dll advapi32.dll shell32.dll psapi.dll ws2_32.dll "
for binary in "$unpacked/$name/pixtagger.dll" "$unpacked/$name/pixtagger-host.exe"; do
  while read -r imported; do
    lower=$(tr 'A-Z' 'a-z' <<<"$imported")
    [[ "$system_dlls" == *" $lower "* ]] || fail "$(basename "$binary") imports $imported"
  done < <("$objdump" -p "$binary" | sed -n 's/^\s*DLL Name: //p')
  # The host finds the window system's DLLs when it needs them: imported,
  # Wine would set up its window system at every start.
  if [[ "$binary" == *.exe ]] && "$objdump" -p "$binary" | grep -qiE 'DLL Name: (user32|comctl32|shell32)\.dll'; then
    fail "pixtagger-host.exe imports a window system DLL at start"
  fi
  if "$objdump" -h "$binary" | grep -q '\.debug_'; then fail "$(basename "$binary") still has debug information"; fi
  "$objdump" -t "$binary" | grep -qx 'no symbols' || fail "$(basename "$binary") still has its symbol table"
done

grep -q "acConfigDlg @1" "$unpacked/$name/pixtagger.def" || fail "pixtagger.def lacks acConfigDlg @1"
[ "$(grep -c '^  ac[A-Za-z]* @[0-9]*$' "$unpacked/$name/pixtagger.def")" = 12 ] || fail "pixtagger.def does not list the 12 exports"
bash "$check_dll" "$objdump" "$unpacked/$name/pixtagger.dll" || fail "the packaged DLL fails the outside check"
for licence in exiv2 expat libjxl brotli highway libintl zlib; do
  grep -q "^$licence (" "$unpacked/$name/THIRD-PARTY.txt" || fail "THIRD-PARTY.txt lacks $licence's licence"
done
! grep -q "^libheif (" "$unpacked/$name/THIRD-PARTY.txt" || fail "THIRD-PARTY.txt still carries libheif, which no program links"

# The corresponding source, beside the zip.
source_zip="${zip%.zip}-source.zip"
listing=$(cmake -E tar tf "$source_zip" 2>/dev/null) || fail "no $source_zip"
for part in SOURCES.txt pixtagger/scripts/windows-libs.sh pixtagger/tools/host/main.cpp \
  "debian-source-packages/exiv2_[^/]*\.dsc" debian-source-packages/versions.txt; do
  grep -qx "$name-source/$part" <<<"$listing" || fail "the source zip lacks $part"
done

if [ "$failures" -ne 0 ]; then
  echo "check_package: $zip: $failures failure(s)"
  exit 1
fi
echo "check_package: $zip: files, imports and the DLL as expected"
