#!/usr/bin/env bash
# Times `pixtagger-host classify` on sets of image files, side by side
# with the floor (bench/read_floor: open, read 4 KB, close each file, one
# thread) and the tools a user would otherwise reach for, ImageMagick's
# `identify -ping` and `exiftool -fast2`, each with its ratio to the floor
# and its CPU seconds (user + system: the host uses every core, the others
# one), then the host's peak memory on libraries of 10^4 to 10^6 files.
# Sets: "generated" (small files of six formats), "camera" (JPEGs with a
# 60 KB Exif thumbnail before the frame, TIFF-based raw files with a preview
# first) and "today" (HEICs laid out as phones write them, a grid of tiles
# with a thumbnail and Exif, beside files from Debian's encoders heif-enc,
# avifenc and cjxl: HEIC, AVIF and JPEG XL), "video" (ffmpeg's MP4 with
# moov first and last, MOV, MKV, WebM, AVI, MPEG-TS and M2TS, 1080p and 4K,
# and a sparse MP4 over 4 GiB, its moov after the mdat, among them; timed
# beside exiftool without -fast2, which would stop at mdat, and ffprobe
# run once a file instead of identify). The file cache is warm; the floor and the host are timed REPEAT
# times (default 3) and the best run counts, the peers once.
# The win64 host of PIXTAGGER_WIN64_BUILD (build/win64), when it is built,
# is timed under wine64 beside them (Wine's start-up included).
# PIXTAGGER_HOST times another build's host (a pixtagger-host beside its
# plug-in) on the same sets, for figures before and after a change.
# Usage: [PIXTAGGER_BUILD=build/linux] [PIXTAGGER_HOST=...] [PIXTAGGER_WIN64_BUILD=build/win64] [REPEAT=3] [SETS="..."]
#        [MEMORY="..."] bench-host.sh [COUNT]     (COUNT, of the first three sets, defaults to 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
build=${PIXTAGGER_BUILD:-build/linux}
win64=${PIXTAGGER_WIN64_BUILD:-build/win64}
repeat=${REPEAT:-3}
host_program=${PIXTAGGER_HOST:-$build/pixtagger-host}
sets=${SETS:-generated camera today phone-12 phone-50 phone-200 camera-jpeg camera-raw video}
memory=${MEMORY-10000 100000 1000000}

bash scripts/setup.sh native
for tool in identify:imagemagick exiftool:libimage-exiftool-perl heif-enc:libheif-examples avifenc:libavif-bin cjxl:libjxl-tools \
  ffmpeg:ffmpeg; do
  if ! command -v "${tool%%:*}" >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${tool#*:}" >/dev/null
  fi
done
cmake -S . -B "$build" -G Ninja -Wno-dev -DPIXTAGGER_BENCHMARKS=ON >/dev/null
ninja -C "$build" -j2 pixtagger pixtagger-host make_bench_images read_floor >/dev/null

# One run of the command: "WALL CPU PEAK_KB" (seconds, user + system
# seconds, peak resident set), to the microsecond; its output is dropped.
measured() {
  python3 - "$@" <<'PY'
import os, subprocess, sys, time
start = time.perf_counter()
# The peers fail on files they cannot read; the time still counts.
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, _, used = os.wait4(child.pid, 0)  # this child's own figures
wall = time.perf_counter() - start
print("%.4f %.4f %d" % (wall, used.ru_utime + used.ru_stime, used.ru_maxrss))
PY
}
# The best of REPEAT runs, by wall time.
best() {
  local best_run="" run
  for _ in $(seq "$repeat"); do
    run=$(measured "$@")
    if [ -z "$best_run" ] || awk -v t="${run%% *}" -v b="${best_run%% *}" 'BEGIN { exit !(t < b) }'; then best_run=$run; fi
  done
  echo "$best_run"
}

# The encoders' files, as the host suites make them.
encoded=build/bench-encoded
[ -d "$encoded" ] || bash tests/host/make_format_files.sh "$encoded"

# N videos in DIR: copies of one-second clips of each container at 1080p
# and 4K, and of a sparse MP4 over 4 GiB.
make_videos() {
  local dir=$1 n=$2 templates=build/bench-video-templates i=0 size file
  if [ ! -d "$templates" ]; then
    mkdir -p "$templates.partial"
    for size in 1920x1080 3840x2160; do
      for file in last.mp4 first.mp4 clip.mov clip.mkv clip.webm clip.avi clip.ts clip.m2ts; do
        local options=(-c:v libx264 -preset ultrafast)
        case $file in
          first.mp4) options+=(-movflags +faststart) ;;
          clip.webm) options=(-c:v libvpx-vp9 -deadline realtime -cpu-used 8) ;;
          clip.avi) options=(-c:v mpeg4) ;;
          clip.m2ts) options+=(-f mpegts -mpegts_m2ts_mode 1) ;;
        esac
        ffmpeg -loglevel error -y -f lavfi -i "testsrc2=s=$size:r=25" -t 1 "${options[@]}" \
          "$templates.partial/${size#*x}p-$file"
      done
    done
    bash tests/host/make_video_files.sh "$templates.partial/fixtures" &&
      mv "$templates.partial/fixtures/big.mp4" "$templates.partial/4GiB-sparse.mp4" && rm -rf "$templates.partial/fixtures"
    mv "$templates.partial" "$templates"
  fi
  mkdir -p "$dir"
  while [ "$i" -lt "$n" ]; do
    for file in "$templates"/*; do
      [ "$i" -lt "$n" ] || break
      cp --sparse=always "$file" "$dir/$(printf '%06d' "$i")-${file##*/}"
      i=$((i + 1))
    done
  done
}

# What every run pays before its first file: loading the libraries, the
# plug-in and the rules.
mkdir -p build/bench-empty
run=$(best "$host_program" classify --config examples/rules.ini build/bench-empty)
echo "pixtagger-host start-up (an empty folder): ${run%% *} s"

for set in $sets; do
  n=$count
  case $set in
    phone-12) n=300 ;;
    phone-50) n=200 ;;
    phone-200) n=100 ;;
    camera-jpeg | camera-raw) n=1000 ;;
    video) n=340 ;;
  esac
  images=build/bench-$set-$n
  if [ ! -d "$images" ] && [ "$set" = video ]; then
    make_videos "$images.partial" "$n" && mv "$images.partial" "$images"
  elif [ ! -d "$images" ]; then
    templates=examples/images
    [ "$set" = today ] && templates=$encoded
    "$build/make_bench_images" "$set" "$images.partial" "$n" "$templates"
    mv "$images.partial" "$images"
  fi
  # Warm the file cache, so that no program pays for the first read (the
  # sparse files' holes are never read).
  [ "$set" = video ] || cat "$images"/* >/dev/null

  floor=$(best "$build/read_floor" "$images")
  host=$(best "$host_program" classify --config examples/rules.ini "$images")
  wine=""
  if [ -f "$win64/pixtagger-host.exe" ] && [ -x /usr/lib/wine/wine64 ]; then
    # A path from / is one on Wine's current drive, which maps this machine's root.
    wine=$(best env WINEPREFIX="$PWD/$win64/wineprefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 /usr/lib/wine/wine64 \
      "$win64/pixtagger-host.exe" classify --config examples/rules.ini "$PWD/$images")
  fi
  if [ "$set" = video ]; then
    identify=$(measured bash -c 'for f in "$@"; do ffprobe -v quiet -select_streams v:0 -show_entries stream=width,height -of csv "$f"; done' sh "$images"/*)
    exiftool=$(measured exiftool -api LargeFileSupport=1 -q -s3 -ImageWidth -ImageHeight "$images")
    peers=("ffprobe, once a file" "exiftool")
  else
    identify=$(measured identify -ping -format '%w %h\n' "$images"/*)
    exiftool=$(measured exiftool -fast2 -q -s3 -ImageWidth -ImageHeight "$images")
    peers=("identify -ping" "exiftool -fast2")
  fi

  echo "$set set: $n files in $images ($(du -shL "$images" | cut -f1))"
  awk -v f="$floor" -v h="$host" -v w="$wine" -v i="$identify" -v e="$exiftool" -v pi="${peers[0]}" -v pe="${peers[1]}" 'BEGIN {
    split(f, F); split(h, H); split(i, I); split(e, E)
    printf "  %-32s %9s  %13s  %9s\n", "", "wall", "", "CPU"
    row("floor (open, read 4 KB, close)", F)
    row("pixtagger-host classify", H)
    if (w != "") { split(w, W); row("pixtagger-host.exe under wine64", W) }
    row(pi, I)
    row(pe, E)
    printf "  pixtagger-host is %.1f times faster than %s, %.1f times faster than %s;\n", I[1] / H[1], pi, E[1] / H[1], pe
    printf "  per core (CPU seconds) %.1f times ahead of %s, %.1f times ahead of %s\n", I[2] / (H[2] > 0 ? H[2] : 0.001), pi, E[2] / (H[2] > 0 ? H[2] : 0.001), pe
  }
  function row(name, r) { printf "  %-32s %9.4f s  %7.1f x floor  %7.4f s\n", name, r[1], r[1] / F[1], r[2] }'
done

# Memory grows with the largest folder, not with the library.
for n in $memory; do
  images=build/bench-library-$n
  if [ ! -d "$images" ]; then
    "$build/make_bench_images" library "$images.partial" "$n" examples/images
    mv "$images.partial" "$images"
  fi
  run=$(measured "$host_program" classify --config examples/rules.ini "$images")
  read -r wall cpu peak <<<"$run"
  printf 'library of %d files (folders of 100): %.2f s, %.2f s CPU, peak %d MB\n' "$n" "$wall" "$cpu" $((peak / 1024))
done
