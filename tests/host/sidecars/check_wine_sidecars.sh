#!/usr/bin/env bash
# The Windows host's sidecars, read back by exiftool (a reader we did not
# write): pixtagger-host.exe under wine64 classifies a copy of the shipped
# examples with --xmp; each sidecar's keywords must be its image's attributes
# as the host printed them, and the sidecars byte for byte those of the
# native host when its build is given.
# Usage: check_wine_sidecars.sh HOST_EXE SOURCE_DIR [NATIVE_HOST]
set -euo pipefail
host=$(realpath "$1") source=$(realpath "$2") native=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# English texts, which the checks read, under any locale.
export WINEPREFIX="$(dirname "$host")/wineprefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 LANGUAGE=en
cp -r "$source/examples/images" "$work/wine"
# A path from / is one on Wine's current drive, which maps this machine's root.
status=0
out=$(/usr/lib/wine/wine64 "$host" classify --xmp --config "$source/examples/rules.ini" "$work/wine" 2>"$work/err") ||
  status=$?
if [ "$status" -ne 0 ]; then
  cat "$work/err"
  echo "FAIL: the host exited $status"
  exit 1
fi
failures=0
while IFS=$'\t' read -r path _ _ attributes; do
  image="$work/wine/$(basename "${path//\\//}")"
  dc="" lr="" digikam=""
  IFS=',' read -ra pairs <<<"$attributes"
  for pair in "${pairs[@]}"; do
    pair=${pair# }
    name=${pair% \[*} category=${pair##*\[}
    category=${category%]}
    dc+="${dc:+, }$name" lr+="${lr:+, }$category|$name" digikam+="${digikam:+, }$category/$name"
  done
  read=$(exiftool -q -sep ', ' -p '$XMP-dc:Subject;$XMP-lr:HierarchicalSubject;$XMP-digiKam:TagsList' "$image.xmp")
  [ "$read" = "$dc;$lr;$digikam" ] || { echo "FAIL: $image.xmp reads \"$read\", not \"$dc;$lr;$digikam\""; failures=$((failures + 1)); }
done < <(tr -d '\r' <<<"$out")
compared=""
if [ -n "$native" ] && [ -x "$native" ]; then
  compared=", equal to the native host's"
  cp -r "$source/examples/images" "$work/native"
  "$native" classify --xmp --config "$source/examples/rules.ini" "$work/native" >/dev/null 2>&1
  for sidecar in "$work"/native/*.xmp; do
    cmp -s "$sidecar" "$work/wine/$(basename "$sidecar")" || { echo "FAIL: $(basename "$sidecar") differs from the native one"; failures=$((failures + 1)); }
  done
fi
[ "$failures" -eq 0 ] || exit 1
echo "check_wine_sidecars: $(ls "$work"/wine/*.xmp | wc -l) sidecars read back by exiftool$compared"
