#!/usr/bin/env bash
# `strobo extract` against ffmpeg on the same clips, one process each, as ratios of wall time
# (other / strobo, so above 1 means strobo is faster):
#   to bmp:  ffmpeg writing the same number of bitmaps of the same size (targets >= 1.3x)
#   decode:  ffmpeg -f null, decoding only (target >= 1/1.3 = 0.77x)
# Clips: a 150-frame 640x480 Motion-JPEG AVI and a 300-frame 1080p60 H.264 MP4, both made here
# with ffmpeg's testsrc2 unless given. For the 1080p clip ffmpeg scales to 640x360 and pads to
# 653x480, the frame files' size. Each command runs twice, in alternating order, each time into
# a fresh folder, the faster run counting. Each run's folder is deleted before the next run (see
# compare_peers.sh: on this virtual machine files piled on earlier runs' make the kernel's copy
# slow).
#
# Usage: bench/extract_vs_ffmpeg.sh [STROBO [MJPEG_CLIP H264_CLIP]]
set -euo pipefail
cd "$(dirname "$0")/.."

strobo="$(realpath "${1:-build/strobo}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mjpeg="${2:-$work/c150.avi}"
h264="${3:-$work/h264_1080p60.mp4}"
[ -f "$mjpeg" ] || ffmpeg -v error -y -f lavfi -i testsrc2=size=640x480:rate=30 -frames:v 150 \
    -c:v mjpeg -q:v 3 "$mjpeg"
[ -f "$h264" ] || ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=60 -frames:v 300 \
    -c:v libx264 -preset veryfast -g 60 -pix_fmt yuv420p "$h264"

# seconds COMMAND...: wall time of one run, output thrown away.
seconds() {
    sync
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
min() { echo "if ($1 < $2) $1 else $2" | bc -l; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }

strobo_extract() { "$strobo" extract "$1" "$2"; }
ffmpeg_bmp() { ffmpeg -v error -nostdin -y -i "$1" -start_number 1 "$2/test%d.bmp"; }
ffmpeg_bmp_padded() {
    ffmpeg -v error -nostdin -y -i "$1" -vf scale=640:360,pad=653:480:2:2 -start_number 1 \
        "$2/test%d.bmp"
}
ffmpeg_null() { ffmpeg -v error -nostdin -i "$1" -f null -; }

# best FUNCTION CLIP: the faster of two runs.
declare -A best
run_all() {
    local clip=$1 bmp=$2 fn out t
    for fn in strobo_extract "$bmp" ffmpeg_null; do best[$fn]=999; done
    for order in "strobo_extract $bmp ffmpeg_null" "ffmpeg_null $bmp strobo_extract"; do
        for fn in $order; do
            out=$(mktemp -d -p "$work")
            t=$(seconds "$fn" "$clip" "$out")
            rm -rf "$out"
            best[$fn]=$(min "${best[$fn]}" "$t")
        done
    done
    printf '%-16s strobo %6.3f s, ffmpeg to bmp %6.3f s (%sx, target >= 1.3x), ffmpeg -f null %6.3f s (%sx, target >= 0.77x)\n' \
        "$(basename "$clip")" "${best[strobo_extract]}" "${best[$bmp]}" \
        "$(ratio "${best[$bmp]}" "${best[strobo_extract]}")" "${best[ffmpeg_null]}" \
        "$(ratio "${best[ffmpeg_null]}" "${best[strobo_extract]}")"
}

echo "load: $(uptime)"
run_all "$mjpeg" ffmpeg_bmp
run_all "$h264" ffmpeg_bmp_padded
