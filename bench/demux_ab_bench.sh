#!/usr/bin/env bash
# Two kerfdmx builds against each other and against dd, on one recording held in memory: rounds
# of MODE=ALL over a packet range and MODE=DEMUX of one service, the two builds alternated (which
# goes first swaps every round) and dd bs=1M of the same bytes timed in the same round. Prints the
# median wall time of each and checks that both builds write the same bytes (MODE=ALL also the
# same bytes as dd).
# Usage: bench/demux_ab_bench.sh <kerfdmx A> <kerfdmx B> <recording.ts> [rounds (default 7)]
# Put the recording and the work folder in memory (KERF_AB_DIR, default /dev/shm/kerf-ab), so that
# the disk does not time the run; a recording from bench/make_recording of 1 GiB or more.
set -euo pipefail
[ $# -ge 3 ] || { sed -n 2,9p "$0" >&2; exit 2; }
rec=$(realpath "$3")
rounds=${4:-7}
work=${KERF_AB_DIR:-/dev/shm/kerf-ab}
mkdir -p "$work/A" "$work/B"
cp "$1" "$work/A/kerfdmx"
cp "$2" "$work/B/kerfdmx"

bytes=$(stat -c %s "$rec")
packets=$((bytes / 188))
start=1000                      # a range like the cutter's: from packet 1000 to 1000 before the end
end=$((packets - 1001))
count=$((end - start + 1))

# The second service, as the cutter would pick it from DEMUX.txt.
touch "$work/A/lockfile"
"$work/A/kerfdmx" "$rec" -h:1 -s:0 -e:C350 -i:DEMUX.txt >/dev/null
for v in A B; do
  touch "$work/$v/lockfile"
  printf 'MODE=ALL\r\nNAME=%s\r\n' "$work/$v/all.ts" >"$work/$v/ALL.cfg"
  awk 'BEGIN{RS="\r\n\r\n"} /SERVICE_ID=0408/ {print "MODE=DEMUX\r\n\r\n" $0 "\r\n"}' \
    "$work/A/DEMUX.txt" | sed "s|NAME=.*PRG[0-9]*\.TS|NAME=$work/$v/one.ts|" >"$work/$v/DEMUX.cfg"
done

# "wall cpu" seconds of the command (cpu: user + system); its output goes to the log named first.
# Other work on the machine stretches the wall time more than the processor time.
timed() {
  local log=$1; shift
  local TIMEFORMAT='%R %U %S'
  { time "$@" >"$log" 2>&1; } 2>&1 | awk '{printf "%s %.3f", $1, $2 + $3}'
}
# Median of the given column of the lines read.
median() { awk -v c="$1" '{print $c}' | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

# Every output is removed before the next run, so each run writes into memory just given back.
clean() { rm -f "$work"/{A,B}/{all,one}.ts "$work/dd.ts"; }
# In the first round, each output's checksum, for the comparison after the round.
declare -A sum
keep() { [ "$r" -ne 1 ] || sum[$1]=$(md5sum <"$2"); }

declare -A t
cat "$rec" >/dev/null
for ((r = 1; r <= rounds; ++r)); do
  order="A B"; ((r % 2)) || order="B A"
  for v in $order; do
    clean
    t[all$v]+="$(timed "$work/$v/all.log" "$work/$v/kerfdmx" "$rec" -h:1 -s:$(printf %X $start) \
      -e:$(printf %X $end) -d:ALL.cfg)"$'\n'
    keep all$v "$work/$v/all.ts"
  done
  clean
  t[ddall]+="$(timed /dev/null dd if="$rec" of="$work/dd.ts" bs=1M iflag=skip_bytes,count_bytes \
    skip=$((start * 188)) count=$((count * 188)) status=none)"$'\n'
  keep dd "$work/dd.ts"
  for v in $order; do
    clean
    t[demux$v]+="$(timed "$work/$v/demux.log" "$work/$v/kerfdmx" "$rec" -h:1 -d:DEMUX.cfg)"$'\n'
    keep demux$v "$work/$v/one.ts"
  done
  clean
  t[dddemux]+="$(timed /dev/null dd if="$rec" of="$work/dd.ts" bs=1M status=none)"$'\n'
  clean
  [ "$r" -ne 1 ] && continue
  [ "${sum[allA]}" = "${sum[allB]}" ] || { echo "A and B differ in MODE=ALL" >&2; exit 1; }
  [ "${sum[allA]}" = "${sum[dd]}" ] || { echo "MODE=ALL output differs from dd" >&2; exit 1; }
  [ "${sum[demuxA]}" = "${sum[demuxB]}" ] || { echo "A and B differ in MODE=DEMUX" >&2; exit 1; }
  for f in all.log demux.log; do
    cmp -s "$work/A/$f" "$work/B/$f" || { echo "A and B print different text ($f)" >&2; exit 1; }
  done
done

printf 'recording: %d bytes, %d packets; %d rounds, outputs identical\n' "$bytes" "$packets" "$rounds"
printf 'medians in seconds, wall / cpu (user + system)\n'
for m in all demux; do
  label=MODE=ALL; [ $m = all ] || label=MODE=DEMUX
  row=()
  for k in ${m}A ${m}B dd$m; do
    row+=("$(printf %s "${t[$k]}" | median 1)" "$(printf %s "${t[$k]}" | median 2)")
  done
  printf '%-10s  A %6.3f / %6.3f   B %6.3f / %6.3f   dd bs=1M %6.3f / %6.3f\n' "$label" "${row[@]}"
done
