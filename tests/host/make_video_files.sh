#!/usr/bin/env bash
# Makes the host suites' videos with ffmpeg, one small file of each
# container and codec the host reads, and expected.tsv: each file's width
# and height as ffprobe gives them (the first video stream that is no
# attached picture) and its rotation as exiftool gives it ("-" where the
# container has none). Usage: make_video_files.sh OUT-DIR
set -euo pipefail
out=$(realpath -m "$1")
rm -rf "$out.partial" && mkdir -p "$out.partial" && cd "$out.partial"
run() { "$@" >/dev/null 2>&1 || { echo "make_video_files: $* failed" >&2; exit 1; }; }
# One frame of a test picture of SIZE with the rest as ffmpeg options.
make() {
  local size=$1 file=$2
  shift 2
  run ffmpeg -y -f lavfi -i "testsrc2=s=$size:r=1" -frames:v 1 "$@" "$file"
}
x265=(-c:v libx265 -x265-params log-level=none)
make 320x180 h264.mp4 -c:v libx264  # moov after mdat, as ffmpeg writes it
make 320x180 faststart.mp4 -c:v libx264 -movflags +faststart
make 320x180 fragmented.mp4 -c:v libx264 -movflags frag_keyframe+empty_moov+default_base_moof
make 640x360 hevc.mov "${x265[@]}" -tag:v hvc1
make 176x144 phone.3gp -c:v libx264 -f 3gp
make 320x180 vp9.webm -c:v libvpx-vp9
make 320x180 av1.mkv -c:v libaom-av1 -cpu-used 8
make 320x180 mpeg4.avi -c:v mpeg4
make 320x180 h264.ts -c:v libx264 -f mpegts  # coded 320×192, cropped
make 352x288 hevc.ts "${x265[@]}" -f mpegts
make 320x180 AVCHD.MTS -c:v libx264 -f mpegts -mpegts_m2ts_mode 1
make 320x240 odd.mp4 -c:v libx264 -pix_fmt yuv444p -vf scale=321:241
make 320x240 anamorphic.mkv -c:v libx264 -vf setsar=4/3
make 320x180 rotated.mp4 -c:v libx264
run exiftool -q -overwrite_original -Rotation=90 rotated.mp4
make 640x480 art.jpg  # larger than the video: it must not count
run ffmpeg -y -i h264.mp4 -i art.jpg -map 0 -map 1 -c copy -disposition:v:1 attached_pic cover.mp4
rm art.jpg
head -c "$(($(stat -c %s h264.mp4) * 2 / 3))" h264.mp4 >cut.mp4  # cut before its moov
# Over 4 GiB: a sparse mdat with a 64-bit size, its moov after it.
{ head -c 32 faststart.mp4 && printf '\0\0\0\1mdat' && printf '%016x' $((16 + (9 << 29))) | xxd -r -p; } >big.mp4
truncate -s $((32 + 16 + (9 << 29))) big.mp4
moov=$(LC_ALL=C grep -obUaP 'moov' faststart.mp4 | head -n 1 | cut -d: -f1)
tail -c +$((moov - 3)) faststart.mp4 | head -c "$(($(od -An -tu4 --endian=big -j $((moov - 4)) -N4 faststart.mp4)))" >>big.mp4
for file in *; do
  [ "$file" = cut.mp4 ] || [ "$file" = expected.tsv ] && continue
  size=$(ffprobe -v quiet -select_streams v -show_entries stream=width,height:stream_disposition=attached_pic \
    -of csv=p=0 "$file" | awk -F, '$3 == 0 { print $1 "\t" $2; exit }')
  rotation=-
  case "$file" in *.mp4 | *.mov | *.3gp) rotation=$(exiftool -q -q -api LargeFileSupport=1 -s3 -n -Rotation "$file") ;; esac
  printf '%s\t%s\t%s\n' "$file" "$size" "$rotation"
done >expected.tsv
cd .. && rm -rf "$out" && mv "$out.partial" "$out"
