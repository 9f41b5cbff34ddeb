#!/usr/bin/env bash
# Runs the Windows end-to-end tests and the kerf command-line test (under Wine and Xvfb, as
# test.sh does) and, beside them, the native suite again and again while stress-ng keeps every core
# busy at a lower priority, and counts the passes: a test that waits for a state it must catch in
# passing fails here sooner or later.
# Usage: scripts/e2e-under-load.sh [runs, default 10]
# Needs the built trees (cmake --preset win64/native, cmake --build --preset win64/native) and
# stress-ng (scripts/install-deps.sh installs it). KERF_LOAD_WORKERS sets the number of busy
# workers (default: one per core). The log of each failed suite is kept in
# build/e2e-under-load/.
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
case $runs in '' | *[!0-9]*) echo "usage: $0 [runs]" >&2; exit 2 ;; esac
command -v stress-ng >/dev/null || { echo "$0: stress-ng is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }
for tree in build/win64 build/native; do
  [ -f "$tree/CTestTestfile.cmake" ] || { echo "$0: $tree is not built" >&2; exit 2; }
done
workers=${KERF_LOAD_WORKERS:-$(nproc)}
logs=build/e2e-under-load
mkdir -p "$logs"

# stress-ng in a session of its own, so that it and its workers end together, at the end and on
# an interrupt.
setsid nice -n 10 stress-ng --cpu "$workers" --quiet &
stress=$!
stop_stress() {
  kill -TERM -- "-$stress" 2>/dev/null
  wait "$stress" 2>/dev/null
}
trap stop_stress EXIT
trap 'exit 130' INT TERM
sleep 1
kill -0 "$stress" 2>/dev/null || { echo "$0: stress-ng did not start" >&2; exit 2; }
echo "== $runs runs under stress-ng --cpu $workers (nice 10)"

# One suite: its result word and time, its log kept when it failed.
run_suite() {
  local name=$1 log="$logs/$1-$2.log" start=$SECONDS
  shift 2
  if "$@" >"$log" 2>&1; then
    rm -f "$log"
    echo "passed in $((SECONDS - start))s"
  else
    echo "failed in $((SECONDS - start))s ($log)"
  fi
}

# In each run the native suite goes alongside the Windows one, which adds to the load.
win_pass=0 native_pass=0
all_start=$SECONDS
for ((i = 1; i <= runs; i++)); do
  run_suite native "$i" ctest --preset native -j "$(nproc)" --output-on-failure >"$logs/native-$i.result" &
  native_job=$!
  win=$(run_suite win64 "$i" xvfb-run -a -s '-screen 0 1280x1024x24' \
    ctest --preset win64 -R '^(kerfcut_e2e|kerf_cli_test$)' --output-on-failure)
  wait "$native_job"
  native=$(cat "$logs/native-$i.result")
  rm -f "$logs/native-$i.result"
  case $win in passed*) win_pass=$((win_pass + 1)) ;; esac
  case $native in passed*) native_pass=$((native_pass + 1)) ;; esac
  echo "run $i/$runs: win64 e2e $win; native $native"
done
echo "win64 e2e: $win_pass passed, $((runs - win_pass)) failed; native: $native_pass passed," \
  "$((runs - native_pass)) failed; $((SECONDS - all_start))s in all"
[ "$win_pass" = "$runs" ] && [ "$native_pass" = "$runs" ]
