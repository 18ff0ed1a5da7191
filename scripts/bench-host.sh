#!/usr/bin/env bash
# Times `pixtagger-host classify` over generated image files against
# ImageMagick's `identify -ping` run once over the same files, and prints the
# ratio. Usage: bench-host.sh [COUNT] (default 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}

bash scripts/setup.sh native
if ! command -v identify >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends imagemagick >/dev/null
fi
cmake -S . -B build/linux -G Ninja -Wno-dev -DPIXTAGGER_BENCHMARKS=ON >/dev/null
ninja -C build/linux pixtagger pixtagger-host make_bench_images >/dev/null

images=build/bench-images-$count
if [ ! -d "$images" ]; then
  build/linux/make_bench_images "$images" "$count" examples/images
fi
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }

# Warm the file cache once, so that neither side pays for the first read.
cat "$images"/* >/dev/null

start=$(now)
build/linux/pixtagger-host classify --config examples/rules.ini "$images" >/dev/null 2>&1
host=$(elapsed "$start")

start=$(now)
identify -ping -format '%w %h\n' "$images"/* >/dev/null 2>&1
identify=$(elapsed "$start")

awk -v n="$count" -v h="$host" -v i="$identify" 'BEGIN {
  printf "files: %d\npixtagger-host classify: %.3f s\nidentify -ping:          %.3f s\nratio: %.1f times faster\n", n, h, i, i / h }'
