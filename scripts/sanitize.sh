#!/usr/bin/env bash
# Builds the tests with sanitizers and runs the whole suite under them: AddressSanitizer together
# with UndefinedBehaviorSanitizer in build-asan/, then ThreadSanitizer in build-tsan/ (the frame
# prefetch of the strobe build and the background saver run on threads of their own). Every
# finding stops the test that made it and fails the run.
# Usage: scripts/sanitize.sh [asan] [tsan]   (both when none is named)
# STROBO_JOBS sets the build's parallel jobs (default 2).
#
# FFmpeg, Qt and the other system libraries are not instrumented. scripts/tsan.supp silences
# findings that lie wholly inside them and nothing else; leak checking needs no suppression.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

halves=("$@")
if [ ${#halves[@]} -eq 0 ]; then halves=(asan tsan); fi
jobs=${STROBO_JOBS:-2}

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=1
fi

export QT_QPA_PLATFORM=offscreen

run_half() {
    local name=$1 dir=$2 flags=$3
    local started=$SECONDS
    echo "sanitize: $name: building in $dir" >&2
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
        -DSTROBO_BUILD_BENCHMARKS=OFF \
        -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer" \
        -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
    cmake --build "$dir" --parallel "$jobs"
    local built=$SECONDS
    echo "sanitize: $name: running the tests" >&2
    local status=0
    # MemoryTuning measures the C library's allocator, which every sanitizer replaces by its own.
    (cd "$dir" && ctest --output-on-failure --timeout 1500 --parallel "$jobs" \
        --exclude-regex '^MemoryTuning\.') || status=$?
    echo "sanitize: $name: build $((built - started)) s, tests $((SECONDS - built)) s," \
        "$([ $status -eq 0 ] && echo passed || echo FAILED)" >&2
    return $status
}

failed=0
for half in "${halves[@]}"; do
    case $half in
        asan)
            export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1"
            export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
            run_half "AddressSanitizer + UndefinedBehaviorSanitizer" build-asan \
                "-fsanitize=address,undefined -fno-sanitize-recover=all" || failed=1
            ;;
        tsan)
            export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan.supp:print_suppressions=0"
            run_half "ThreadSanitizer" build-tsan "-fsanitize=thread" || failed=1
            ;;
        *)
            echo "sanitize: unknown half '$half' (asan or tsan)" >&2
            exit 2
            ;;
    esac
done
exit $failed
