#!/usr/bin/env bash
# Demux benchmark: on a generated three-service recording (1 GiB by default), times
#   kerfdmx MODE=ALL over a packet range   against  dd of the same byte range, and
#   kerfdmx MODE=DEMUX of one service      against  ffmpeg -map 0:p:<service> -c copy,
# each pair side by side in one run, with the input in the page cache for both. Each timing ends
# with sync, so that one run's output still being written back does not slow the next.
# Usage: bench/demux_bench.sh [build dir (default build/native)] [size in MiB (default 1024)]
# Not part of CTest: it needs about three times the recording's size of free disk space.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../build/native}")
size=${2:-1024}
work=${KERF_BENCH_DIR:-${TMPDIR:-/tmp}/kerf-bench}

cmake --build "$build" --target kerfdmx make_recording >/dev/null
mkdir -p "$work/prog"
rec=$work/recording.ts
if [ ! -f "$rec" ] || [ "$(stat -c %s "$rec")" -lt $((size * 1048576 - 1048576)) ] ||
   [ "$(stat -c %s "$rec")" -gt $((size * 1048576)) ]; then
  echo "generating ${size} MiB recording..."
  # Real MPEG-2 video (the sample clip) so that ffmpeg accepts the streams it copies.
  "$build/bin/make_recording" "$rec" "$size" "$here/../sample/clip.m2v"
fi
cp "$build/bin/kerfdmx" "$work/prog/kerfdmx"
touch "$work/prog/lockfile"
tool=$work/prog/kerfdmx

bytes=$(stat -c %s "$rec")
packets=$((bytes / 188))
start=1000                      # a range like the cutter's: from packet 1000 to 1000 before the end
end=$((packets - 1001))
count=$((end - start + 1))

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }
warm() { cat "$rec" >/dev/null; }

warm
rm -f "$work/all.ts" "$work/dd.ts"
printf 'MODE=ALL\r\nNAME=%s\r\n' "$work/all.ts" >"$work/prog/DEMUX.tmp"
sync
t0=$(now)
"$tool" "$rec" -h:1 -s:$(printf %X $start) -e:$(printf %X $end) -d:DEMUX.tmp >"$work/all.log"
sync
t1=$(now)
dd if="$rec" of="$work/dd.ts" bs=1M iflag=skip_bytes,count_bytes skip=$((start * 188)) \
   count=$((count * 188)) status=none
sync
t2=$(now)
all=$(elapsed "$t0" "$t1")
dd=$(elapsed "$t1" "$t2")
cmp -s "$work/all.ts" "$work/dd.ts" && same=identical || same=DIFFERENT
rm -f "$work/all.ts" "$work/dd.ts"

# The second service, as the cutter would pick it from DEMUX.txt.
"$tool" "$rec" -h:1 -s:0 -e:C350 -i:DEMUX.txt >/dev/null
awk 'BEGIN{RS="\r\n\r\n"} /SERVICE_ID=0408/ {print "MODE=DEMUX\r\n\r\n" $0 "\r\n"}' \
  "$work/prog/DEMUX.txt" | sed "s|NAME=.*PRG[0-9]*\.TS|NAME=$work/one.ts|" >"$work/prog/DEMUX.cfg"
warm
rm -f "$work/one.ts" "$work/ffmpeg.ts"
sync
t0=$(now)
"$tool" "$rec" -h:1 -d:DEMUX.cfg >"$work/demux.log"
sync
t1=$(now)
ffmpeg -v error -nostdin -y -i "$rec" -map 0:p:1032 -c copy -f mpegts "$work/ffmpeg.ts" \
  2>"$work/ffmpeg.log" || true
sync
t2=$(now)
demux=$(elapsed "$t0" "$t1")
ff=$(elapsed "$t1" "$t2")
onesize=$(stat -c %s "$work/one.ts")
ffsize=$(stat -c %s "$work/ffmpeg.ts" 2>/dev/null || echo 0)
rm -f "$work/one.ts" "$work/ffmpeg.ts"

mib=$(echo "scale=1; $bytes / 1048576" | bc)
printf 'recording: %s MiB, %d packets, three services\n' "$mib" "$packets"
printf 'MODE=ALL  %d packets: kerfdmx %6.2f s   dd %6.2f s   ratio kerfdmx/dd %.2f   output %s\n' \
  "$count" "$all" "$dd" "$(echo "$all / $dd" | bc -l)" "$same"
printf 'MODE=DEMUX service 0x0408: kerfdmx %6.2f s (%d bytes)   ffmpeg -c copy %6.2f s (%d bytes)   ratio kerfdmx/ffmpeg %.2f\n' \
  "$demux" "$onesize" "$ff" "$ffsize" "$(echo "$demux / $ff" | bc -l)"
