#!/usr/bin/env bash
# Times `pixtagger-host classify --xmp` over COUNT generated images and
# `classify --embed` over JPEGS camera JPEGs: the first run (a sidecar
# created, a packet put in), a run with nothing to change (nothing written)
# and a run after a rule change (every file's keywords replaced), best of
# ROUNDS each, beside exiftool making the same replacement (one keyword
# out, one in) in the same files, once, and beside plain `classify`. The
# floor of a first --xmp run on this file system is making and renaming one
# small file per image in the same folder.
# PIXTAGGER_HOST times another build's host (a pixtagger-host beside its
# plug-in) on the same files, for figures before and after a change.
# Usage: [PIXTAGGER_BUILD=build/linux] [PIXTAGGER_HOST=...] bench-xmp.sh [COUNT] [JPEGS] [ROUNDS]
# (defaults 10000, 2000 and 3).
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
jpegs=${2:-2000}
rounds=${3:-3}
build=${PIXTAGGER_BUILD:-build/linux}
host_program=${PIXTAGGER_HOST:-$build/pixtagger-host}

bash scripts/setup.sh native
command -v exiftool >/dev/null ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends libimage-exiftool-perl >/dev/null
cmake -S . -B "$build" -G Ninja -Wno-dev -DPIXTAGGER_BENCHMARKS=ON >/dev/null
ninja -C "$build" -j2 pixtagger pixtagger-host make_bench_images >/dev/null

# A rule change that touches every image: each attribute renamed.
changed=build/bench-xmp-rules.ini
LC_ALL=C sed 's/^_attName=\([^\r]*\)/_attName=\1 2/' examples/rules.ini >"$changed"
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
host() {
  local rules=$1 folder=$2
  shift 2
  "$host_program" classify --config "$rules" "$@" "$folder" >/dev/null 2>&1 || true
}
floor() {
  find "$1" -type f -print0 | perl -0 -MFcntl -ne 'chomp;
    sysopen(my $h, "$_.floor.tmp", O_WRONLY | O_CREAT | O_EXCL) or die "$_: $!"; syswrite($h, "x" x 1300); close $h;
    rename("$_.floor.tmp", "$_.floor") or die "$_: $!"'
  find "$1" -name '*.floor' -delete
}

# KIND FOLDER OPTION FRESH...: the host's three runs and exiftool's edit;
# FRESH makes the folder's files anew before each first run.
measure() {
  local kind=$1 folder=$2 option=$3 first='' second='' update='' plain='' made='' start
  shift 3
  for _ in $(seq "$rounds"); do
    "$@"
    cat "$folder"/* >/dev/null  # a warm file cache
    if [ "$option" = --xmp ]; then
      start=$(now) && floor "$folder" && made=$(best "$made" "$(elapsed "$start")")
    fi
    start=$(now) && host examples/rules.ini "$folder" "$option" && first=$(best "$first" "$(elapsed "$start")")
    start=$(now) && host examples/rules.ini "$folder" "$option" && second=$(best "$second" "$(elapsed "$start")")
    start=$(now) && host "$changed" "$folder" "$option" && update=$(best "$update" "$(elapsed "$start")")
    start=$(now) && host examples/rules.ini "$folder" && plain=$(best "$plain" "$(elapsed "$start")")
  done
  # The same replacement by exiftool: every file's keyword "Web" (or
  # "印刷") out, another in.
  local ext=jpg
  [ "$option" = --xmp ] && ext=xmp
  start=$(now)
  exiftool -q -q -overwrite_original -ext "$ext" -XMP-dc:Subject-=Web -XMP-dc:Subject-=印刷 \
    -XMP-dc:Subject+=exiftool "$folder" >/dev/null 2>&1 || true
  local tool
  tool=$(elapsed "$start")
  awk -v k="$kind" -v o="$option" -v f="$first" -v s="$second" -v u="$update" -v p="$plain" -v m="$made" -v e="$tool" 'BEGIN {
    printf "%s, classify %s:\n", k, o
    printf "  classify alone:         %.3f s\n", p
    if (m != "") printf "  floor (make, rename):   %.3f s\n", m
    printf "  first run:              %.3f s\n", f
    printf "  nothing to change:      %.3f s\n", s
    printf "  after a rule change:    %.3f s  (exiftool, the same edit: %.3f s, %.1f times as long)\n", u, e, e / u }'
}

sidecars=build/bench-xmp-$count
remake_sidecars() {
  rm -rf "$sidecars" && "$build"/make_bench_images generated "$sidecars" "$count" examples/images
}
measure "$count generated images" "$sidecars" --xmp remake_sidecars
camera=build/bench-xmp-camera-$jpegs
remake_camera() {
  rm -rf "$camera" && "$build"/make_bench_images camera-jpeg "$camera" "$jpegs" examples/images
}
measure "$jpegs camera JPEGs" "$camera" --embed remake_camera
