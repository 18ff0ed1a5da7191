#!/usr/bin/env bash
# Times `pixtagger-host classify` on two sets of image files, side by side
# with the floor (bench/read_floor: open, read 4 KB, close each file, one
# thread) and the tools a user would otherwise reach for, ImageMagick's
# `identify -ping` and `exiftool -fast2`, each with its ratio to the floor.
# Sets: "generated" (small files of six formats), "camera" (JPEGs with a
# 60 KB Exif thumbnail before the frame, TIFF-based raw files with a preview
# first) and "today" (HEICs laid out as phones write them, a grid of tiles
# with a thumbnail and Exif, beside files from Debian's encoders heif-enc,
# avifenc and cjxl: HEIC, AVIF and JPEG XL). The file cache is warm; the floor and the host are timed REPEAT
# times (default 3) and the best run counts, the peers once.
# The win64 host of PIXTAGGER_WIN64_BUILD (build/win64), when it is built,
# is timed under wine64 beside them (Wine's start-up included).
# Usage: [PIXTAGGER_BUILD=build/linux] [PIXTAGGER_WIN64_BUILD=build/win64] [REPEAT=3] bench-host.sh [COUNT]
#        (COUNT defaults to 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
build=${PIXTAGGER_BUILD:-build/linux}
win64=${PIXTAGGER_WIN64_BUILD:-build/win64}
repeat=${REPEAT:-3}

bash scripts/setup.sh native
for tool in identify:imagemagick exiftool:libimage-exiftool-perl heif-enc:libheif-examples avifenc:libavif-bin cjxl:libjxl-tools; do
  if ! command -v "${tool%%:*}" >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${tool#*:}" >/dev/null
  fi
done
cmake -S . -B "$build" -G Ninja -Wno-dev -DPIXTAGGER_BENCHMARKS=ON >/dev/null
ninja -C "$build" -j2 pixtagger pixtagger-host make_bench_images read_floor >/dev/null

now() { date +%s.%N; }
# Wall time of one run of the command, in seconds; its output is dropped.
timed() {
  local start
  start=$(now)
  "$@" >/dev/null 2>&1 || true  # the peers fail on files they cannot read; the time still counts
  awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'
}
best() {
  local best_time="" t
  for _ in $(seq "$repeat"); do
    t=$(timed "$@")
    if [ -z "$best_time" ] || awk -v t="$t" -v b="$best_time" 'BEGIN { exit !(t < b) }'; then best_time=$t; fi
  done
  echo "$best_time"
}

# The encoders' files, as the host suites make them.
encoded=build/bench-encoded
[ -d "$encoded" ] || bash tests/host/make_format_files.sh "$encoded"

for set in generated camera today; do
  images=build/bench-$set-$count
  if [ ! -d "$images" ]; then
    templates=examples/images
    [ "$set" = today ] && templates=$encoded
    "$build/make_bench_images" "$set" "$images.partial" "$count" "$templates"
    mv "$images.partial" "$images"
  fi
  # Warm the file cache, so that no program pays for the first read.
  cat "$images"/* >/dev/null

  floor=$(best "$build/read_floor" "$images")
  host=$(best "$build/pixtagger-host" classify --config examples/rules.ini "$images")
  wine=""
  if [ -f "$win64/pixtagger-host.exe" ] && [ -x /usr/lib/wine/wine64 ]; then
    # A path from / is one on Wine's current drive, which maps this machine's root.
    wine=$(best env WINEPREFIX="$PWD/$win64/wineprefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 /usr/lib/wine/wine64 \
      "$win64/pixtagger-host.exe" classify --config examples/rules.ini "$PWD/$images")
  fi
  identify=$(timed identify -ping -format '%w %h\n' "$images"/*)
  exiftool=$(timed exiftool -fast2 -q -s3 -ImageWidth -ImageHeight "$images")

  echo "$set set: $count files in $images ($(du -shL "$images" | cut -f1))"
  awk -v f="$floor" -v h="$host" -v w="$wine" -v i="$identify" -v e="$exiftool" 'BEGIN {
    row("floor (open, read 4 KB, close)", f)
    row("pixtagger-host classify", h)
    if (w != "") row("pixtagger-host.exe under wine64", w)
    row("identify -ping", i)
    row("exiftool -fast2", e)
    printf "  pixtagger-host is %.1f times faster than identify -ping, %.1f times faster than exiftool -fast2\n", i / h, e / h
  }
  function row(name, t) { printf "  %-32s %8.3f s  %7.1f x floor\n", name, t, t / f }'
done
