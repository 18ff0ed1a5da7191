#!/usr/bin/env bash
# Times `pixtagger-host classify --xmp` over generated image files: the first
# run (a sidecar created for every image with an attribute), a second run
# (nothing to change, nothing written) and plain `classify`, side by side,
# best of ROUNDS rounds each; and the floor of a first run on this file
# system: making and renaming one small file per image in the same folder.
# Usage: bench-xmp.sh [COUNT] [ROUNDS]
# (defaults 10000 and 3; the build folder is $PIXTAGGER_BUILD or build/linux).
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
rounds=${2:-3}
build=${PIXTAGGER_BUILD:-build/linux}

bash scripts/setup.sh native
cmake -S . -B "$build" -G Ninja -Wno-dev -DPIXTAGGER_BENCHMARKS=ON >/dev/null
ninja -C "$build" -j2 pixtagger pixtagger-host make_bench_images >/dev/null

# A folder of its own: the sidecars must not land among scripts/bench-host.sh's images.
images=build/bench-xmp-$count
rm -rf "$images"
"$build"/make_bench_images generated "$images" "$count" examples/images
host() { "$build"/pixtagger-host classify --config examples/rules.ini "$@" "$images" >/dev/null 2>&1; }
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
floor() {
  find "$images" -type f -print0 | perl -0 -MFcntl -ne 'chomp;
    sysopen(my $h, "$_.floor.tmp", O_WRONLY | O_CREAT | O_EXCL) or die "$_: $!"; syswrite($h, "x" x 1300); close $h;
    rename("$_.floor.tmp", "$_.floor") or die "$_: $!"'
}

cat "$images"/* >/dev/null  # warm the file cache once
first='' second='' plain='' made=''
for _ in $(seq "$rounds"); do
  find "$images" -name '*.xmp' -delete
  start=$(now); floor; made=$(best "$made" "$(elapsed "$start")")
  find "$images" -name '*.floor' -delete
  start=$(now); host --xmp; first=$(best "$first" "$(elapsed "$start")")
  start=$(now); host --xmp; second=$(best "$second" "$(elapsed "$start")")
  start=$(now); host; plain=$(best "$plain" "$(elapsed "$start")")
done
sidecars=$(find "$images" -name '*.xmp' | wc -l)

awk -v n="$count" -v s="$sidecars" -v f="$first" -v t="$second" -v p="$plain" -v m="$made" 'BEGIN {
  printf "files: %d, sidecars: %d\n", n, s
  printf "classify:                  %.3f s\n", p
  printf "floor (make, rename):      %.3f s  (%.1f times classify)\n", m, m / p
  printf "classify --xmp, first run: %.3f s  (%.1f times classify)\n", f, f / p
  printf "classify --xmp, second:    %.3f s  (%.1f times classify)\n", t, t / p }'
