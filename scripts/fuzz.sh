#!/usr/bin/env bash
# Builds the fuzz preset's targets and runs each on its corpus, as many at once as there are cores:
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      SECONDS per target (default 60), all targets by default
#
# Each target first runs once over the reproducers of findings already fixed, kept in
# fuzz/regressions/<target>/ (one failing again is a finding). Then it starts from the seeds in
# fuzz/corpus/<target>/ and keeps what it finds in
# build/fuzz/corpus/<target>/ (so a later run goes on from there); its dictionary is made from
# fuzz/dict/. Findings (crash-, leak-, timeout-, oom- files) land in build/fuzz/findings/<target>/.
# A line per target tells the runs, executions per second, coverage (libFuzzer's cov: edges),
# findings and the CPU time taken; the status is 1 when anything was found, with the
# reproducers' paths.
#
# An input that takes longer than 120 s counts as a hang (on a loaded machine at nice 19 a normal
# input can stall for tens of seconds).
#
# KERF_FUZZ_CPU=1 makes SECONDS CPU seconds: a target runs again and again until it has had that
# much processor time, however busy the machine is (for long campaigns under nice -n 19).
# KERF_FUZZ_LOG=FILE appends each target's line to FILE as well.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true
build=$root/build/fuzz

# The dictionaries of each target.
dicts_of() {
  case $1 in
    arib_text_fuzz) echo arib ;;
    demux_engine_fuzz | psi_table_layer_fuzz) echo ts arib ;;
    demux_parsers_fuzz) echo control ;;
    logo_fuzz) echo bmp ;;
    preview_decoder_fuzz) echo mpeg2 ;;
    serve_request_fuzz) echo serve ;;
    settings_fuzz) echo settings ;;
    ts_reader_fuzz) echo ts mpeg2 ;;
    *) echo "" ;;
  esac
}

cmake --preset fuzz >/dev/null
# Every target the fuzz build defines (some only where their libraries are found).
all_targets=$(for t in $(sed -n 's/^ *kerf_fuzz_target(\([a-z0-9_]*\).*/\1/p' fuzz/*_fuzz.cmake | sort); do
  if ninja -C "$build" -t query "$t" >/dev/null 2>&1; then echo "$t"; fi
done)
targets=${*:-$all_targets}
# Only the targets and the libraries they need, not the programs and benchmarks.
# shellcheck disable=SC2086
cmake --build --preset fuzz -j2 --target $targets

# The targets run side by side, as many at once as there are cores (KERF_FUZZ_JOBS overrides),
# each for its own SECONDS; each prints its line when it ends.
parallel=${KERF_FUZZ_JOBS:-$(nproc)}
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# Children's user + system seconds so far of the shell that runs `times` into $1 (a target's own
# subshell: its children are that target's runs).
children_cpu() {
  sed -n 2p "$1" | awk '{
    n = 0
    for (i = 1; i <= 2; ++i) { split($i, t, "m"); sub("s", "", t[2]); n += t[1] * 60 + t[2] }
    printf "%.1f\n", n }'
}

# fuzz_target TARGET: runs one target, in a subshell of its own. What it found goes to
# $results/TARGET.found (one reproducer path a line); the file exists only when it found anything.
fuzz_target() {
  local t=$1
  local cpu_file=$results/$t.times
  local corpus=$build/corpus/$t
  local findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  local dict=$build/dict/$t.dict
  mkdir -p "$build/dict"
  : >"$dict"
  for d in $(dicts_of "$t"); do cat "fuzz/dict/$d.dict" >>"$dict"; done
  local dict_option=()
  [ -s "$dict" ] && dict_option=(-dict="$dict")
  local seeds=()
  [ -d "fuzz/corpus/$t" ] && seeds=("fuzz/corpus/$t")
  local log=$build/logs/$t.log
  mkdir -p "$build/logs"
  : >"$log"

  local runs=0 wall=0 cpu=0 cov=0 rc=0 left started n c cpu_start known new found rate line
  if [ -n "$(ls -A "fuzz/regressions/$t" 2>/dev/null)" ]; then
    set +e
    "$build/fuzz/$t" -timeout=120 -rss_limit_mb=2560 "fuzz/regressions/$t"/* >>"$log" 2>&1
    rc=$?
    set -e
    if [ "$rc" -ne 0 ]; then
      echo "$t: a fixed finding fails again (fuzz/regressions/$t/, log $log)"
      echo "fuzz/regressions/$t/" >"$results/$t.found"
      return 0
    fi
  fi
  known=$(find "$findings" -type f ! -name 'slow-unit-*' | sort)
  times >"$cpu_file"
  cpu_start=$(children_cpu "$cpu_file")
  while :; do
    left=$seconds
    if [ "${KERF_FUZZ_CPU:-0}" = 1 ]; then
      left=$(awk -v s="$seconds" -v c="$cpu" 'BEGIN { l = int(s - c); print (l > 0 ? l : 0) }')
      [ "$left" -ge 5 ] || break
    fi
    started=$(date +%s)
    set +e
    "$build/fuzz/$t" -max_total_time="$left" -timeout=120 -rss_limit_mb=2560 -print_final_stats=1 \
      -artifact_prefix="$findings/" "${dict_option[@]}" "$corpus" "${seeds[@]}" >>"$log" 2>&1
    rc=$?
    set -e
    wall=$((wall + $(date +%s) - started))
    times >"$cpu_file"
    cpu=$(awk -v a="$(children_cpu "$cpu_file")" -v b="$cpu_start" 'BEGIN { printf "%.1f", a - b }')
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    runs=$((runs + ${n:-0}))
    c=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    [ -n "$c" ] && cov=$c
    # A finding ends the target's run: what follows would only find it again.
    if [ "$rc" -ne 0 ] || [ "${KERF_FUZZ_CPU:-0}" != 1 ]; then break; fi
  done
  new=$(comm -13 <(echo "$known") <(find "$findings" -type f ! -name 'slow-unit-*' | sort) | sed '/^$/d')
  found=$(echo -n "$new" | grep -c . || true)
  if [ "$found" -gt 0 ] || [ "${rc:-0}" -ne 0 ]; then
    [ "$found" -gt 0 ] || found="rc=$rc"
    # A run that failed without leaving a reproducer still counts: its log is named instead.
    if [ -n "$new" ]; then echo "$new"; else echo "$log"; fi >"$results/$t.found"
  fi
  rate=$(awk -v r="$runs" -v w="$wall" 'BEGIN { printf "%d", (w > 0 ? r / w : r) }')
  line=$(printf '%-22s %12d %8s %7s %9s %8.1f' "$t" "$runs" "$rate" "$cov" "$found" \
    "$(awk -v c="$cpu" 'BEGIN { print c / 60 }')")
  echo "$line"
  if [ -n "${KERF_FUZZ_LOG:-}" ]; then echo "$(date -u +%FT%TZ) $line" >>"$KERF_FUZZ_LOG"; fi
}

printf '%-22s %12s %8s %7s %9s %8s\n' target runs exec/s cov findings cpu-min
for t in $targets; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  # The marker is written only when the target's subshell ran to its end (errexit applies there).
  (fuzz_target "$t"; : >"$results/$t.done") &
done
wait
status=0
reproducers=()
for t in $targets; do
  if [ ! -f "$results/$t.done" ]; then
    status=1
    echo "$t: the run stopped on an error of this script (log $build/logs/$t.log)"
  fi
  if [ -f "$results/$t.found" ]; then
    status=1
    while IFS= read -r f; do [ -n "$f" ] && reproducers+=("$f"); done <"$results/$t.found"
  fi
done
if [ "$status" -ne 0 ]; then
  echo "findings (reproduce with build/fuzz/fuzz/<target> FILE; logs in $build/logs/):"
  if [ "${#reproducers[@]}" -gt 0 ]; then printf '  %s\n' "${reproducers[@]}"; fi
fi
exit "$status"
