#!/usr/bin/env bash
# strobo's batch commands against the peer tools doing the same work, one run each, as ratios
# (peer time / strobo time, so above 1 means strobo is faster):
#   extract  vs  ffmpeg -i CLIP -start_number 1 DIR/test%d.bmp                 (target >= 1.0x)
#   build    vs  ImageMagick's step chain, one convert per step                   (target >= 10x)
#   make --size native --op rgbmax  vs  ffmpeg -vf lagfun=decay=1, last frame kept (target >= 1.0x)
# and the peak memory of make on a 150- and a 1500-frame clip (target: larger within 1.2x).
# The clips are ffmpeg's testsrc2 at 640x480, Motion-JPEG in AVI. Creating files is much slower
# on ext4 shortly after many were deleted, so nothing is deleted before the end, and each
# comparison runs twice in both orders, the faster run of each tool counting.
#
# Usage: bench/compare_peers.sh [STROBO]   (default: build/strobo, built if missing)
set -euo pipefail
cd "$(dirname "$0")/.."

strobo="${1:-build/strobo}"
if [ ! -x "$strobo" ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build --target strobo
fi
strobo="$(realpath "$strobo")"
convert=/usr/bin/convert-im6.q16
build_steps=140

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work"

# timed COMMAND...: runs the command once and prints "wall cpu" in seconds (cpu = user +
# system, which a busy machine disturbs less than the wall clock).
timed() {
    local times wall user sys
    # Each run starts with no earlier run's writes still going to disk.
    sync
    times=$({ TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1)
    read -r wall user sys <<<"$times"
    echo "$wall $(echo "$user + $sys" | bc -l)"
}
ratio() { echo "scale=2; $1 / $2" | bc -l; }
min() { echo "if ($1 < $2) $1 else $2" | bc -l; }
peak_kib() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}

# compare LABEL TARGET PEER_NAME STROBO_FUNCTION PEER_FUNCTION: two rounds, strobo first in the
# first and the peer first in the second (the file system favours whoever writes first), each
# function given a fresh output folder; the faster of each tool's two runs counts.
compare() {
    local label=$1 target=$2 peer=$3 mine=$4 theirs=$5
    local sw=999 sc=999 pw=999 pc=999 round wall cpu
    for round in 1 2; do
        for fn in $([ "$round" = 1 ] && echo "$mine $theirs" || echo "$theirs $mine"); do
            local out
            out=$(mktemp -d -p "$work")
            read -r wall cpu <<<"$(timed "$fn" "$out")"
            if [ "$fn" = "$mine" ]; then
                sw=$(min "$sw" "$wall") sc=$(min "$sc" "$cpu")
            else
                pw=$(min "$pw" "$wall") pc=$(min "$pc" "$cpu")
            fi
        done
    done
    printf '%-20s strobo %6.3f s (cpu %6.3f s), %s %6.3f s (cpu %6.3f s): ratio %sx, cpu ratio %sx (target %s)\n' \
        "$label" "$sw" "$sc" "$peer" "$pw" "$pc" "$(ratio "$pw" "$sw")" "$(ratio "$pc" "$sc")" \
        "$target"
}

make_clip() {
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x480:rate=30" -frames:v "$2" \
        -c:v mjpeg -q:v 3 "$1"
}

echo "clips: testsrc2 640x480 MJPEG AVI, 150 and 1500 frames"
make_clip "$work/c150.avi" 150
make_clip "$work/c1500.avi" 1500

# --- make --size native --op rgbmax -------------------------------------------------------
cat "$work/c150.avi" >/dev/null
strobo_make() {
    "$strobo" make "$work/c150.avi" --first 0 --last 149 --size native --op rgbmax \
        -o "$1/max.bmp"
}
ffmpeg_lagfun() {
    ffmpeg -v error -y -i "$work/c150.avi" -vf lagfun=decay=1 -update 1 "$1/max.bmp"
}
compare "make native 150" ">= 1.0x" "ffmpeg lagfun" strobo_make ffmpeg_lagfun

# --- extract ------------------------------------------------------------------------------
strobo_extract() { "$strobo" extract "$work/c150.avi" "$1"; }
ffmpeg_extract() { ffmpeg -v error -y -i "$work/c150.avi" -start_number 1 "$1/test%d.bmp"; }
compare "extract 150 frames" ">= 1.0x" ffmpeg strobo_extract ffmpeg_extract

# --- build --------------------------------------------------------------------------------
# Both start from a black 400x300 background and add the frame files 2 .. build_steps+1 that
# strobo extracted; each run gets its own folder holding links to them.
frames="$work/frames"
mkdir -p "$frames"
"$strobo" extract "$work/c150.avi" "$frames" >/dev/null
"$convert" -size 400x300 xc:black "BMP3:$frames/Sstrobe.bmp"
strobo_build() {
    cp -l "$frames"/*.bmp "$1/"
    "$strobo" build "$1" 1 "$build_steps" --keep-frames
}
magick_build() {
    cp -l "$frames"/*.bmp "$1/"
    cp "$1/Sstrobe.bmp" "$1/M1.bmp"
    for ((i = 2; i <= build_steps + 1; i++)); do
        "$convert" "$1/M$((i - 1)).bmp" '(' "$1/test$i.bmp" -resize 62% ')' \
            -compose lighten -composite -crop 400x300+0+0 +repage "BMP3:$1/M$i.bmp"
    done
}
compare "build $build_steps steps" ">= 10x" ImageMagick \
    strobo_build magick_build

# --- peak memory of make ------------------------------------------------------------------
for size in window native; do
    out_small=$(mktemp -d -p "$work")
    out_large=$(mktemp -d -p "$work")
    small=$(peak_kib "$strobo" make "$work/c150.avi" --first 0 --last 149 --size "$size" \
        -o "$out_small/a.bmp")
    large=$(peak_kib "$strobo" make "$work/c1500.avi" --first 0 --last 1499 --size "$size" \
        -o "$out_large/a.bmp")
    printf 'make --size %-6s peak memory: 150 frames %d KiB, 1500 frames %d KiB, ratio %sx (target <= 1.2x)\n' \
        "$size" "$small" "$large" "$(ratio "$large" "$small")"
done
