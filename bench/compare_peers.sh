#!/usr/bin/env bash
# strobo's batch commands against the peer tools doing the same work, and against the time the
# clip takes merely to decode, all in one run, as ratios of wall time (cpu time beside it, which a
# busy machine disturbs less). Every ratio is strobo's time over the other's: below 1 means strobo
# is faster.
#   extract  vs  ffmpeg -i CLIP -vf scale=...,pad=653:480:2:2 DIR/test%d.bmp, the same 653x480
#                pictures (target <= 0.77x: at least 1.3 times as fast), and vs
#                ffmpeg -i CLIP -f null - (decoding only, target <= 1.3x)
#                for a 640x480 MJPEG AVI, a 1080p60 H.264 MP4 and a 4K HEVC MOV
#   make over the whole 1080p60 MP4  vs  decoding it only                          (target <= 1.3x)
#   make of 11 frames of that MP4  vs  make of the whole clip                      (target <= 0.1x)
#                                  and vs ffmpeg decoding those 11 frames only
#   make of 11 frames at the start of a 36 times longer clip (the same MP4 joined to itself,
#                                  165 MB)  vs  the same 11 frames of the short clip (the
#                                  rest of the file is never read: about 1x) and vs ffmpeg
#                                  decoding those 11 frames only
#   make --size native --op rgbmax  vs  ffmpeg -vf lagfun=decay=1, last frame kept (target <= 1.0x)
#   build  vs  ImageMagick's step chain, one convert per step                      (target <= 0.1x)
# and, for make, the temporary disk it takes for 11 frames of a 1500-frame clip (target < 20 MB)
# and its peak memory on a 1500- against a 150-frame clip (target <= 1.2x).
# Each run's output is deleted (and the deletion synced) before the next run: on this virtual
# machine, files written on top of earlier runs' land in memory the guest has never touched, and
# every run after the first few then spends up to a second in the kernel copying into it, which
# would bury the programs' own differences. Each comparison runs three times, in turn, in the
# reverse order and in turn again, the fastest run of each counting: on this shared machine a
# single run of either side is often slowed by a neighbour.
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

echo "load at the start: $(uptime)"

# timed COMMAND...: runs the command once and prints "wall cpu" in seconds (cpu = user + system).
timed() {
    local times wall user sys
    # Each run starts with no earlier run's writes still going to disk.
    sync
    times=$({ TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1)
    read -r wall user sys <<<"$times"
    echo "$wall $(echo "$user + $sys" | bc -l)"
}
ratio() { echo "scale=2; $1 / $2" | bc -l | sed 's/^\./0./'; }
min() { echo "if ($1 < $2) $1 else $2" | bc -l; }
peak_kib() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}

# best FUNCTION...: runs each function three times, in turn, then in the reverse order (the file
# system favours whoever writes first), then in turn again, each run with a fresh output folder,
# and sets best_wall[FUNCTION] and best_cpu[FUNCTION] to the fastest of its runs.
declare -A best_wall best_cpu
best() {
    local fn round wall cpu out order
    for fn in "$@"; do best_wall[$fn]=999 best_cpu[$fn]=999; done
    for round in 1 2 3; do
        order="$*"
        [ "$round" = 2 ] && order="$(printf '%s\n' "$@" | tac | tr '\n' ' ')"
        for fn in $order; do
            out=$(mktemp -d -p "$work")
            read -r wall cpu <<<"$(timed "$fn" "$out")"
            rm -rf "$out"
            best_wall[$fn]=$(min "${best_wall[$fn]}" "$wall")
            best_cpu[$fn]=$(min "${best_cpu[$fn]}" "$cpu")
        done
    done
}

# row LABEL MINE OTHER OTHER_NAME TARGET: one line, MINE's best time over OTHER's.
row() {
    local label=$1 mine=$2 other=$3 name=$4 target=$5
    printf '%-26s strobo %6.3f s (cpu %6.3f s), %-14s %6.3f s (cpu %6.3f s): %sx, cpu %sx (target %s)\n' \
        "$label" "${best_wall[$mine]}" "${best_cpu[$mine]}" "$name" "${best_wall[$other]}" \
        "${best_cpu[$other]}" "$(ratio "${best_wall[$mine]}" "${best_wall[$other]}")" \
        "$(ratio "${best_cpu[$mine]}" "${best_cpu[$other]}")" "$target"
}

quiet_ffmpeg() { ffmpeg -v error -nostdin -y "$@"; }
quiet_ffmpeg -f lavfi -i "testsrc2=size=640x480:rate=30" -frames:v 150 -c:v mjpeg -q:v 3 \
    "$work/c150.avi"
quiet_ffmpeg -f lavfi -i "testsrc2=size=640x480:rate=30" -frames:v 1500 -c:v mjpeg -q:v 3 \
    "$work/c1500.avi"
quiet_ffmpeg -f lavfi -i "testsrc2=size=1920x1080:rate=60" -frames:v 300 -c:v libx264 \
    -preset veryfast -g 60 -pix_fmt yuv420p "$work/h264.mp4"
quiet_ffmpeg -f lavfi -i "testsrc2=size=3840x2160:rate=30" -frames:v 60 -c:v libx265 \
    -preset ultrafast -tag:v hvc1 -x265-params log-level=error "$work/hevc4k.mov"
echo "clips: testsrc2, 640x480 MJPEG AVI (150 and 1500 frames), 1080p60 H.264 MP4 (300 frames)," \
    "4K HEVC MOV (60 frames)"

# --- extract: strobo, ffmpeg writing the same pictures, and decoding alone -------------------
# ffmpeg fits the video into 640x480 and pads it to the playback picture's 653x480 at (2, 2),
# as strobo's frame files hold it.
fit_and_pad="scale=640:480:force_original_aspect_ratio=decrease:flags=bicubic,pad=653:480:2:2"
for clip in c150.avi h264.mp4 hevc4k.mov; do
    eval "strobo_extract() { \"\$strobo\" extract \"\$work/$clip\" \"\$1\"; }"
    eval "ffmpeg_bmp() { quiet_ffmpeg -i \"\$work/$clip\" -vf \"\$fit_and_pad\" \
        -start_number 1 \"\$1/test%d.bmp\"; }"
    eval "ffmpeg_decode() { quiet_ffmpeg -i \"\$work/$clip\" -f null -; }"
    cat "$work/$clip" >/dev/null
    best strobo_extract ffmpeg_bmp ffmpeg_decode
    row "extract $clip" strobo_extract ffmpeg_bmp "ffmpeg to bmp" "<= 0.77x"
    row "extract $clip" strobo_extract ffmpeg_decode "decode only" "<= 1.3x"
done

# --- make of the 1080p60 clip: the whole clip against decoding it, 11 frames against all ------
make_all() { "$strobo" make "$work/h264.mp4" --first 0 --last 298 -o "$1/a.bmp"; }
make_eleven() { "$strobo" make "$work/h264.mp4" --first 0 --last 10 -o "$1/e.bmp"; }
ffmpeg_decode() { quiet_ffmpeg -i "$work/h264.mp4" -f null -; }
# The floor for 11 frames: start-up and the decoder's set-up weigh more than the frames.
ffmpeg_decode_eleven() { quiet_ffmpeg -i "$work/h264.mp4" -frames:v 11 -f null -; }
best make_all make_eleven ffmpeg_decode ffmpeg_decode_eleven
row "make h264.mp4 all frames" make_all ffmpeg_decode "decode only" "<= 1.3x"
row "make h264.mp4 11 frames" make_eleven make_all "make all" "<= 0.1x"
row "make h264.mp4 11 frames" make_eleven ffmpeg_decode_eleven "decode 11 only" "-"

# --- 11 frames at the start of a long clip ------------------------------------------------
for ((i = 0; i < 36; i++)); do echo "file '$work/h264.mp4'"; done >"$work/long.txt"
quiet_ffmpeg -f concat -safe 0 -i "$work/long.txt" -c copy "$work/long.mp4"
make_eleven_long() { "$strobo" make "$work/long.mp4" --first 0 --last 10 -o "$1/e.bmp"; }
ffmpeg_decode_eleven_long() { quiet_ffmpeg -i "$work/long.mp4" -frames:v 11 -f null -; }
cat "$work/long.mp4" >/dev/null
best make_eleven_long make_eleven ffmpeg_decode_eleven_long
row "make long.mp4 11 frames" make_eleven_long make_eleven "11 of 300" "about 1x"
row "make long.mp4 11 frames" make_eleven_long ffmpeg_decode_eleven_long "decode 11 only" "-"

# --- make --size native --op rgbmax -------------------------------------------------------
strobo_native() {
    "$strobo" make "$work/c150.avi" --first 0 --last 149 --size native --op rgbmax \
        -o "$1/max.bmp"
}
ffmpeg_lagfun() { quiet_ffmpeg -i "$work/c150.avi" -vf lagfun=decay=1 -update 1 "$1/max.bmp"; }
best strobo_native ffmpeg_lagfun
row "make native c150.avi" strobo_native ffmpeg_lagfun "ffmpeg lagfun" "<= 1.0x"

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
best strobo_build magick_build
row "build $build_steps steps" strobo_build magick_build ImageMagick "<= 0.1x"

# --- make's temporary disk: 11 frames of the 1500-frame clip ----------------------------------
# The largest the temporary folder and the output folder grow while make runs, looked at every
# few milliseconds. The output folder ends holding the 11 pictures, which are make's output.
scratch=$(mktemp -d -p "$work")
out=$(mktemp -d -p "$work")
TMPDIR="$scratch" "$strobo" make "$work/c1500.avi" --first 0 --last 10 -o "$out/t.bmp" \
    >/dev/null 2>&1 &
make_pid=$!
peak_scratch=0
peak_out=0
while kill -0 "$make_pid" 2>/dev/null; do
    s=$(du -sk "$scratch" 2>/dev/null | cut -f1) || s=0
    o=$(du -sk "$out" 2>/dev/null | cut -f1) || o=0
    [ "${s:-0}" -gt "$peak_scratch" ] && peak_scratch=$s
    [ "${o:-0}" -gt "$peak_out" ] && peak_out=$o
    sleep 0.005
done
wait "$make_pid"
printf 'make 11 of 1500 frames      temporary folder peak %d KiB (target < 20 MB); output folder peak %d KiB, at the end %d KiB (the 11 pictures)\n' \
    "$peak_scratch" "$peak_out" "$(du -sk "$out" | cut -f1)"

# --- peak memory of make ------------------------------------------------------------------
for size in window native; do
    out_small=$(mktemp -d -p "$work")
    out_large=$(mktemp -d -p "$work")
    small=$(peak_kib "$strobo" make "$work/c150.avi" --first 0 --last 149 --size "$size" \
        -o "$out_small/a.bmp")
    large=$(peak_kib "$strobo" make "$work/c1500.avi" --first 0 --last 1499 --size "$size" \
        -o "$out_large/a.bmp")
    printf 'make --size %-6s peak memory: 150 frames %d KiB, 1500 frames %d KiB: %sx (target <= 1.2x)\n' \
        "$size" "$small" "$large" "$(ratio "$large" "$small")"
done

echo "load at the end: $(uptime)"
