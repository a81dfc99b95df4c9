#!/usr/bin/env bash
# ksvcamsrc against its anchor, ksvcam capture, on the same frames:
#   bench/gst_source_bench.sh BUILD_DIR [FRAMES]
# - processor time (user + system) per frame of
#   `gst-launch-1.0 ksvcamsrc num-buffers=N ! fakesink` and of
#   `ksvcam capture --frames N` (no output), and their ratio. The source runs
#   on the real clock at the camera's 30 frames a second, ksvcam capture on
#   simulated time as fast as it can: the time is the processor's, not the
#   wall clock's, but another program loading the machine still shows.
# - heap allocations per frame of the gst-launch process after start: the
#   difference between a run of N frames and one of N/5, over the frames
#   between (an LD_PRELOAD counter, allocation_count_preload.c).
# - frames lost: the last buffer's time against N - 1 frame intervals.
set -euo pipefail
build=$(cd "$1" && pwd)
frames=${2:-900}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/ksv-gst-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export KSV_ROOT=$work/root GST_PLUGIN_PATH=$build/lib/gstreamer-1.0 GST_REGISTRY=$work/registry.bin
mkdir -p "$KSV_ROOT"
cc -O2 -shared -fPIC -o "$work/count.so" "$here/allocation_count_preload.c"
gst-inspect-1.0 ksvcamsrc >/dev/null  # the registry is made before anything is timed

# Processor seconds (user + system) of a command.
TIMEFORMAT='%3U %3S'
cpu() { { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }'; }

gst_cpu=$(cpu gst-launch-1.0 ksvcamsrc num-buffers="$frames" ! fakesink)
capture_cpu=$(cpu "$build/bin/ksvcam" capture --frames "$frames")
awk -v g="$gst_cpu" -v c="$capture_cpu" -v n="$frames" 'BEGIN {
  printf "processor time per frame over %d frames: ksvcamsrc ! fakesink %.3f ms, ksvcam capture %.3f ms; ratio %.2f\n",
         n, g * 1000 / n, c * 1000 / n, (c > 0 ? g / c : 0) }'

few=$((frames / 5))
# Allocations of a run of $1 frames; the source's own count of the frames
# it pushed, the bus completed and the driver lost for want of a read
# buffer (logged at its stop) in count.log.
count() {
  KSV_ALLOCATION_COUNT=$work/count LD_PRELOAD=$work/count.so GST_DEBUG=ksvcamsrc:4 \
    gst-launch-1.0 ksvcamsrc num-buffers="$1" ! fakesink >"$work/count.log" 2>&1
  cat "$work/count"
}
short=$(count "$few")
start=$(date +%s.%N)
long=$(count "$frames")
seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
awk -v s="$short" -v l="$long" -v a="$few" -v b="$frames" 'BEGIN {
  printf "allocations of the process: %d for %d frames, %d for %d: %.3f a frame after start\n",
         s, a, l, b, (l - s) / (b - a) }'
echo "the $frames-frame run took $seconds s; at its stop the source logged:" \
     "$(grep -o '[0-9]* frames pushed.*' "$work/count.log" | sed 's/\x1b\[[0-9;]*m//g')"
