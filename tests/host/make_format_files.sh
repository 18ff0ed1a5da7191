#!/usr/bin/env bash
# Makes the host suites' HEIF, AVIF and JPEG XL files with Debian's own
# encoders (heif-enc, avifenc, cjxl, djxl) from flat grey pictures written
# here. Usage: make_format_files.sh OUT-DIR
set -euo pipefail
out=$(realpath -m "$1")
rm -rf "$out.partial" && mkdir -p "$out.partial" && cd "$out.partial"
y4m() { printf 'YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C444\nFRAME\n' "$1" "$2" && head -c $(($1 * $2 * 3)) /dev/zero; } # W H
ppm() { printf 'P6\n%d %d\n%d\n' "$1" "$2" "$3" && head -c $(($1 * $2 * ($3 > 255 ? 6 : 3))) /dev/zero; } # W H MAX
run() { "$@" >/dev/null 2>&1 || { echo "make_format_files: $* failed" >&2; exit 1; }; }
y4m 640 480 >a.y4m && run heif-enc -t 96 -o thumbnail.heic a.y4m && run avifenc a.y4m photo.avif
y4m 101 67 >odd.y4m && run heif-enc -o odd.heic odd.y4m  # a 1×1 grid of a padded tile, as libheif stores it
y4m 1280 960 >g.y4m && run avifenc --grid 2x2 g.y4m grid.avif
# A camera's 10-bit HEIF, from a 16-bit PNG that djxl writes.
ppm 320 200 65535 >deep.ppm && run cjxl deep.ppm deep.jxl -d 0 && run djxl deep.jxl deep.png --bits_per_sample=16
run heif-enc -b 10 -o IMG_0002.HIF deep.png
ppm 300 200 255 >flat.ppm && run cjxl flat.ppm bare.jxl && run cjxl flat.ppm boxed.jxl --container=1
rm -f ./*.y4m ./*.ppm deep.jxl deep.png
cd .. && rm -rf "$out" && mv "$out.partial" "$out"
