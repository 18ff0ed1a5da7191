#!/usr/bin/env bash
# classify --embed on one table of files made by ImageMagick and exiftool,
# read back by exiftool and ImageMagick (readers we did not write): each
# file embedded, embedded again, then embedded with other rules. Every
# written file keeps its pixels and every other metadata value; the user's
# keywords stay; the files never written stay byte for byte.
# Usage: check_embedded.sh HOST SOURCE_DIR HEIF_FILE [wine]
set -euo pipefail
host=$(realpath "$1") source=$(realpath "$2") heif=$(realpath "$3") wine=${4:-}
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
export WINEPREFIX="$(dirname "$host")/wineprefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
run() { if [ -n "$wine" ]; then /usr/lib/wine/wine64 "$host" "$@"; else "$host" "$@"; fi; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A 132-byte ICC header, which is all exiftool needs to write a profile.
{ printf '\0\0\0\x84none\x02\x10\0\0mntrRGB XYZ ' && head -c 12 /dev/zero && printf acsp && head -c 92 /dev/zero; } >"$work/p.icc"
mkdir "$work/t" && cd "$work/t"
convert() { /usr/bin/convert "$@" 2>/dev/null; }
for ext in jpg png tif webp; do
  convert -size 64x48 gradient:red-blue "plain.$ext"
  cp "plain.$ext" "tagged.$ext"
  exiftool -q -q -overwrite_original -Make=Acme -DateTimeOriginal="2024:01:02 03:04:05" -XPKeywords="win;tags" \
    -IPTC:Keywords=iptc1 -IPTC:Keywords=iptc2 "-ICC_Profile<=../p.icc" -XMP-xmp:Rating=3 -XMP-dc:Subject=holiday \
    -XMP-dc:Subject=tiny "tagged.$ext"
done
convert -size 64x48 gradient:red-none -define webp:lossless=true alpha.webp # VP8L with alpha, no VP8X
cp plain.jpg linked.jpg && ln linked.jpg linked-too.jpg
cp plain.png locked.png && chmod a-w locked.png
cp plain.tif raw.dng && cp "$heif" phone.heic
# Two comments, of which Exiv2 0.27 keeps one: the proof must refuse it.
{ head -c 2 plain.jpg && printf '\xFF\xFE\0\5abc\xFF\xFE\0\5def' && tail -c +3 plain.jpg; } >comments.jpg
never="linked.jpg linked-too.jpg locked.png raw.dng phone.heic comments.jpg"
cd .. && cp -a t before

# The values of each file: pixels, and metadata outside XMP (positions, and
# the VP8X chunk that a packet adds to a WebP, apart).
facts() {
  identify -format '%#\n' "$1" 2>/dev/null
  exiftool -q -q -a -G1 -s -n -x XMP:all -x File:all -x ExifTool:all -x Composite:all -x StripOffsets "$1" |
    { grep -v '^\[RIFF\]' || true; }
  exiftool -q -q -b -ICC_Profile "$1" | md5sum
}
mkdir facts && for file in t/*; do
  case " $never " in *" ${file#t/} "*) ;; *) facts "$file" >"facts/${file#t/}" ;; esac
done

# RULES EXPECTED-SUMMARY USER-KEYWORDS...: a run, then (unless $same, when
# the files are compared whole afterwards) each written file's keywords as
# exiftool reads them and its other values.
pass() {
  local rules=$1 summary=$2 out status=0
  shift 2
  out=$(run classify --embed --config "$rules" t 2>"$work/err") || status=$?
  grep -q "$summary" "$work/err" || fail "$rules: \"$summary\" not in: $(cat "$work/err")"
  [ "$status" -eq 1 ] || fail "$rules: exit status $status, not 1 (the linked, locked and comments files fail)"
  [ -z "${same:-}" ] || out=""
  [ -n "$out" ] && exiftool -q -q -sep ', ' -p '$FileName;$XMP-dc:Subject;$XMP-lr:HierarchicalSubject;$XMP-digiKam:TagsList' \
    t >"$work/keywords"
  while IFS=$'\t' read -r path _ _ attributes; do
    [ -n "$path" ] || continue
    local file=t/${path##*[/\\]} dc="$*" lr="" digikam="" pair name category read
    case " $never " in *" ${file#t/} "*) continue ;; esac
    case "$file" in t/tagged.*) ;; *) dc="" ;; esac
    IFS=',' read -ra pairs <<<"$attributes"
    for pair in "${pairs[@]}"; do
      pair=${pair# } name=${pair% \[*} category=${pair##*\[} category=${category%]}
      dc+="${dc:+, }$name" lr+="${lr:+, }$category|$name" digikam+="${digikam:+, }$category/$name"
    done
    read=$(sed -n "s/^${file#t/};//p" "$work/keywords")
    [ "$read" = "$dc;$lr;$digikam" ] || fail "$file reads \"$read\", not \"$dc;$lr;$digikam\""
    diff "facts/${file#t/}" <(facts "$file") >"$work/diff" || fail "$file: $(head -5 "$work/diff")"
  done < <(tr -d '\r' <<<"$out")
  for file in $never; do cmp -s "t/$file" "before/$file" || fail "$file was written"; done
  for file in $never; do grep -q "t[/\\]$file: " "$work/err" || fail "$file not named"; done
}

pass "$source/examples/rules.ini" "images: 9 updated, 0 unchanged, 2 of formats never written, 4 failed" holiday, tiny
cp -a t first
same=1 pass "$source/examples/rules.ini" "images: 0 updated, 9 unchanged, 2 of formats never written, 4 failed"
for file in first/*; do cmp -s "$file" "t/${file#first/}" || fail "${file#first/} changed on a run with nothing to change"; done
# Other rules: our old keywords go, "tiny" (the user's before any rule named
# it) stays where the user put it.
run rules add --config "$work/other.ini" --attribute tiny --category サイズ --area '>= 1' >/dev/null 2>&1
run rules add --config "$work/other.ini" --attribute 小 --category サイズ --area '< 10000' >/dev/null 2>&1
pass "$work/other.ini" "images: 9 updated, 0 unchanged, 2 of formats never written, 4 failed" holiday
[ "$failures" -eq 0 ] || exit 1
echo "check_embedded: 9 files embedded three times, read back by exiftool; 6 left alone"
