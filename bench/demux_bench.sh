#!/usr/bin/env bash
# Demux benchmark: on a generated three-service recording, rounds of three timed pairs, the two
# sides of each pair alternated (which goes first swaps every round):
#   kerfdmx MODE=ALL of the whole recording          against  dd bs=1M of the same bytes
#   kerfdmx MODE=DEMUX of the second service         against  the copy limit: cat of the input to
#                                                             /dev/null plus dd bs=1M of a file the
#                                                             size of kerfdmx's output
#   kerfdmx MODE=DEMUX of the second service         against  ffmpeg -map 0:p:<service> -c copy
# It prints every round and the medians of the times and of the per-pair ratios (kerfdmx / peer),
# and checks that MODE=ALL writes the same bytes as dd.
#
# Usage: bench/demux_bench.sh [--rounds N] [--size MiB] [--dir DIR] [--disk] [--cpu N] [BUILD_DIR]
#   --rounds N   pairs of each kind (default 5)
#   --size MiB   the recording's size (default 376)
#   --dir DIR    where the recording and the outputs live (default /dev/shm/kerf-bench: tmpfs, so
#                that the figures are the programs' and not the disk's)
#   --disk       the page-cache variant: DIR defaults to a folder under $TMPDIR or /tmp, the input
#                is read once before each timing and every timing ends with sync
#   --cpu N      the CPU every timed command but ffmpeg runs on (default: the last one; "any"
#                lets the system choose). Both sides of a pair then run on the same CPU: on a
#                virtual machine the CPUs can differ by a third in speed, which swamps the ratios.
# Not part of CTest. Needs dd, cmp, awk, taskset and (for the third pair) ffmpeg.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rounds=5
size=376
dir=
disk=0
cpu=$(($(nproc) - 1))
build=$here/../build/native
while [ $# -gt 0 ]; do
  case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --disk) disk=1; shift ;;
    --cpu) cpu=$2; shift 2 ;;
    -h | --help) sed -n 2,24p "$0"; exit 0 ;;
    *) build=$1; shift ;;
  esac
done
build=$(realpath "$build")
if [ -z "$dir" ]; then
  if [ $disk = 1 ]; then dir=${TMPDIR:-/tmp}/kerf-bench; else dir=/dev/shm/kerf-bench; fi
fi
mkdir -p "$dir/prog"
dir=$(realpath "$dir")

cmake --build "$build" --target kerfdmx make_recording >/dev/null
rec=$dir/recording.ts
want=$((size * 1048576))
if [ ! -f "$rec" ] || [ "$(stat -c %s "$rec")" -lt $((want - 1048576)) ] || [ "$(stat -c %s "$rec")" -gt "$want" ]; then
  echo "generating a ${size} MiB recording in $dir ..."
  # Real MPEG-2 video (the sample clip), so that ffmpeg accepts the streams it copies.
  "$build/bin/make_recording" "$rec" "$size" "$here/../sample/clip.m2v" >/dev/null
fi
tool=$dir/prog/kerfdmx
cp "$build/bin/kerfdmx" "$tool"
touch "$dir/prog/lockfile"
bytes=$(stat -c %s "$rec")
packets=$((bytes / 188))

# The second service, as the cutter would pick it from DEMUX.txt.
"$tool" "$rec" -h:1 -s:0 -e:C350 -i:DEMUX.txt >/dev/null
service=0408
awk -v sid="SERVICE_ID=$service" 'BEGIN{RS="\r\n\r\n"} index($0, sid) {print "MODE=DEMUX\r\n\r\n" $0 "\r\n"}' \
  "$dir/prog/DEMUX.txt" | sed "s|NAME=.*PRG[0-9]*\.TS|NAME=$dir/one.ts|" >"$dir/prog/ONE.cfg"
printf 'MODE=ALL\r\nNAME=%s\r\n' "$dir/all.ts" >"$dir/prog/ALL.cfg"
program=$((16#$service))

pin=()
[ "$cpu" != any ] && command -v taskset >/dev/null && pin=(taskset -c "$cpu")

# Seconds of one command, the input warmed before and (for --disk) the output synced after.
timed() {
  [ $disk = 1 ] && cat "$rec" >/dev/null
  [ $disk = 1 ] && sync
  local t0 t1
  t0=$(date +%s.%N)
  "$@"
  [ $disk = 1 ] && sync
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}
div() { awk -v a="$1" -v b="$2" 'BEGIN { print (b > 0 ? a / b : 0) }'; }
run_all() { "${pin[@]}" "$tool" "$rec" -h:1 -d:ALL.cfg >/dev/null; }
run_dd() { "${pin[@]}" dd if="$rec" of="$dir/dd.ts" bs=1M status=none; }
run_one() { "${pin[@]}" "$tool" "$rec" -h:1 -d:ONE.cfg >/dev/null; }
run_limit() {
  "${pin[@]}" cat "$rec" >/dev/null
  "${pin[@]}" dd if="$dir/limit-in.ts" of="$dir/limit.ts" bs=1M status=none
}
# ffmpeg is left free to use every CPU it likes.
run_ffmpeg() { ffmpeg -v error -nostdin -y -i "$rec" -map "0:p:$program" -c copy -f mpegts "$dir/ffmpeg.ts"; }
clean() { rm -f "$dir/all.ts" "$dir/dd.ts" "$dir/one.ts" "$dir/limit.ts" "$dir/ffmpeg.ts"; }

# The copy limit's second file: as large as kerfdmx's output of the service.
run_one
head -c "$(stat -c %s "$dir/one.ts")" "$rec" >"$dir/limit-in.ts"
run_all
run_dd
cmp -s "$dir/all.ts" "$dir/dd.ts" && same=identical || same=DIFFERENT
clean
haveff=1
command -v ffmpeg >/dev/null || haveff=0

# A pair in the round's order; prints "kerfdmx peer".
pair() {
  local a b
  if [ $(($2 % 2)) = 0 ]; then a=$(timed "$1"); clean; b=$(timed "$3"); else b=$(timed "$3"); clean; a=$(timed "$1"); fi
  clean
  echo "$a $b"
}
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

printf 'recording: %s bytes, %d packets, three services; %d rounds in %s%s; %s\n' "$bytes" "$packets" "$rounds" "$dir" \
  "$([ $disk = 1 ] && echo ' (page cache, synced)')" "$([ ${#pin[@]} -gt 0 ] && echo "all on CPU $cpu" || echo "CPUs as the system chooses")"
printf '%5s %22s %22s %22s\n' round "ALL / dd" "DEMUX / copy limit" "DEMUX / ffmpeg"
: >"$dir/times"
for r in $(seq 1 "$rounds"); do
  read -r all dd < <(pair run_all "$r" run_dd)
  read -r one limit < <(pair run_one "$r" run_limit)
  one2=0 ff=0
  [ $haveff = 1 ] && read -r one2 ff < <(pair run_one "$r" run_ffmpeg)
  echo "$all $dd $one $limit $one2 $ff" >>"$dir/times"
  printf '%5d %9.3f/%-6.3f %5.2f %9.3f/%-6.3f %5.2f %9.3f/%-6.3f %5.2f\n' "$r" "$all" "$dd" "$(div "$all" "$dd")" \
    "$one" "$limit" "$(div "$one" "$limit")" "$one2" "$ff" "$(div "$one2" "$ff")"
done
col() { awk -v c="$1" '{print $c}' "$dir/times" | median; }
ratio() { awk -v a="$1" -v b="$2" '$b > 0 {print $a / $b}' "$dir/times" | median; }
printf 'median %8.3f/%-6.3f %5.2f %9.3f/%-6.3f %5.2f %9.3f/%-6.3f %5.2f\n' "$(col 1)" "$(col 2)" "$(ratio 1 2)" \
  "$(col 3)" "$(col 4)" "$(ratio 3 4)" "$(col 5)" "$(col 6)" "$( [ $haveff = 1 ] && ratio 5 6 || echo 0)"
echo "MODE=ALL output and dd output: $same"
