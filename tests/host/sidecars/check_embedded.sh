#!/usr/bin/env bash
# classify --embed on one table of files made by ImageMagick and exiftool,
# read back by exiftool and ImageMagick (readers we did not write): each
# file embedded, embedded again, then embedded with other rules. Every
# written file keeps its pixels and every other metadata value; a JPEG or
# PNG stripped of its XMP by exiftool is the original stripped alike (its
# MP entries apart, whose pictures must still be where they say); the
# user's keywords stay; the files never written stay byte for byte.
# Usage: check_embedded.sh HOST SOURCE_DIR HEIF_FILE [wine]
set -euo pipefail
host=$(realpath "$1") source=$(realpath "$2") heif=$(realpath "$3") wine=${4:-}
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
# English texts, which the checks read, under any locale.
export WINEPREFIX="$(dirname "$host")/wineprefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 LANGUAGE=en
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
# What cameras and phones write, each of which Exiv2's writer changed: two
# comments, fill bytes before a table, an ICC profile over two segments, an
# MPF index with a second picture, a motion photo's video after EOI,
# ExtendedXMP.
{ head -c 2 plain.jpg && printf '\xFF\xFE\0\5abc\xFF\xFE\0\5def' && tail -c +3 plain.jpg; } >comments.jpg
cp plain.jpg comment.jpg && exiftool -q -q -overwrite_original -Comment=hello comment.jpg
dqt=$(LC_ALL=C grep -obUaP '\xFF\xDB' plain.jpg | head -n 1 | cut -d: -f1)
{ head -c "$dqt" plain.jpg && printf '\xFF\xFF' && tail -c +$((dqt + 1)) plain.jpg; } >fill.jpg
{ printf '\0\1\x86\xa8none\x02\x10\0\0mntrRGB XYZ ' && head -c 12 /dev/zero && printf acsp && head -c 99968 /dev/zero; } >"$work/big.icc"
cp plain.jpg icc.jpg && exiftool -q -q -overwrite_original "-ICC_Profile<=$work/big.icc" icc.jpg
be() { local i; for ((i = $2 - 1; i >= 0; i--)); do printf '\\x%02x' $(($1 >> (8 * i) & 255)); done; }
size=$(($(stat -c %s plain.jpg) + 90)) # SOI, JFIF, then an MPF segment of 90 bytes: its TIFF header at 28
{ head -c 20 plain.jpg && printf "\xFF\xE2$(be 88 2)MPF\0MM\0*$(be 8 4)$(be 3 2)\xB0\0$(be 7 2)$(be 4 4)0100"
  printf "\xB0\x01$(be 4 2)$(be 1 4)$(be 2 4)\xB0\x02$(be 7 2)$(be 32 4)$(be 50 4)$(be 0 4)"
  printf "$(be $((0x20030000)) 4)$(be "$size" 4)$(be 0 8)$(be 0 4)$(be "$(stat -c %s comment.jpg)" 4)$(be $((size - 28)) 4)$(be 0 4)"
  tail -c +21 plain.jpg && cat comment.jpg; } >mpf.jpg
{ cat plain.jpg && head -c 3000 /dev/zero | tr '\0' v; } >motion.jpg
exiftool -q -q -overwrite_original -XMP-GCamera:MicroVideo=1 -XMP-GCamera:MicroVideoOffset=3000 motion.jpg
cp plain.jpg extended.jpg
exiftool -q -q -overwrite_original -XMP-dc:Description="$(head -c 70000 /dev/zero | tr '\0' x)" extended.jpg
never="linked.jpg linked-too.jpg locked.png raw.dng phone.heic"
cd .. && cp -a t before

# The values of each file: pixels, and metadata outside XMP (positions, and
# the VP8X chunk that a packet adds to a WebP, apart).
facts() {
  identify -format '%#\n' "$1" 2>/dev/null
  exiftool -q -q -a -G1 -s -n -x XMP:all -x File:all -x ExifTool:all -x Composite:all -x MPF:all -x StripOffsets "$1" |
    { grep -v '^\[RIFF\]' || true; }
  exiftool -q -q -b -ICC_Profile "$1" | md5sum
}
mkdir facts && for file in t/*; do
  case " $never " in *" ${file#t/} "*) ;; *) facts "$file" >"facts/${file#t/}" ;; esac
done

# FILE with its XMP replaced by exiftool (which then writes the whole file
# anew) is the original with its XMP replaced alike; for the MPF file, its
# second picture is where the index says and the first picture's size is
# what precedes it.
stripped() {
  cp "$1" "$work/new.${1##*.}" && cp "before/${1#t/}" "$work/old.${1##*.}"
  exiftool -q -q -overwrite_original -XMP:all= -XMP-dc:Source=check "$work/new.${1##*.}" "$work/old.${1##*.}"
  [ "$1" != t/mpf.jpg ] && { cmp -s "$work/new.jpg" "$work/old.jpg" 2>/dev/null || cmp -s "$work/new.png" "$work/old.png"; } && return
  [ "$1" = t/mpf.jpg ] && cmp -s <(exiftool -q -q -b -MPImage2 "$1") before/comment.jpg &&
    [ "$(exiftool -q -q -n -s3 -MPImage1:MPImageLength "$1")" = $(($(stat -c %s "$1") - $(stat -c %s before/comment.jpg))) ]
}

# RULES EXPECTED-SUMMARY USER-KEYWORDS...: a run, then (unless $same, when
# the files are compared whole afterwards) each written file's keywords as
# exiftool reads them and its other values.
pass() {
  local rules=$1 summary=$2 out status=0
  shift 2
  out=$(run classify --embed --config "$rules" t 2>"$work/err") || status=$?
  grep -q "$summary" "$work/err" || fail "$rules: \"$summary\" not in: $(cat "$work/err")"
  [ "$status" -eq 1 ] || fail "$rules: exit status $status, not 1 (the linked and locked files fail)"
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
    case "$file" in *.jpg | *.png) stripped "$file" || fail "$file: more than its XMP changed" ;; esac
  done < <(tr -d '\r' <<<"$out")
  for file in $never; do cmp -s "t/$file" "before/$file" || fail "$file was written"; done
  for file in $never; do grep -q "t[/\\]$file: " "$work/err" || fail "$file not named"; done
}

pass "$source/examples/rules.ini" "images: 16 updated, 0 unchanged, 2 of formats never written, 3 failed" holiday, tiny
cp -a t first
same=1 pass "$source/examples/rules.ini" "images: 0 updated, 16 unchanged, 2 of formats never written, 3 failed"
for file in first/*; do cmp -s "$file" "t/${file#first/}" || fail "${file#first/} changed on a run with nothing to change"; done
# Other rules: our old keywords go, "tiny" (the user's before any rule named
# it) stays where the user put it.
run rules add --config "$work/other.ini" --attribute tiny --category サイズ --area '>= 1' >/dev/null 2>&1
run rules add --config "$work/other.ini" --attribute 小 --category サイズ --area '< 10000' >/dev/null 2>&1
pass "$work/other.ini" "images: 16 updated, 0 unchanged, 2 of formats never written, 3 failed" holiday
[ "$(exiftool -q -q -XMP-dc:Description -b t/extended.jpg | wc -c)" = 70000 ] || fail "extended.jpg lost its ExtendedXMP"
cmp -s <(tail -c 3000 t/motion.jpg) <(head -c 3000 /dev/zero | tr '\0' v) || fail "motion.jpg lost its video"
[ "$failures" -eq 0 ] || exit 1
echo "check_embedded: 16 files embedded three times, read back by exiftool; 5 left alone"
