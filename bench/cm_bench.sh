#!/usr/bin/env bash
# The commercial finder's figures: renders test recordings with make_cm_recording (kept between
# runs), then times `kerf cm --json` on each from the page cache on one CPU and compares its
# stretches with the recording's truth: breaks found, the largest boundary error, programme
# seconds cut and other seconds kept.
#
# Usage: bench/cm_bench.sh [--runs N] [--dir DIR] [--cpu N] [BUILD_DIR]
#   recordings: ci (320x180, 4.6 min), long (720x480, 35 min), hd (1440x1080, 8.4 min)
# Not part of CTest. Needs ffmpeg, python3, taskset and GNU time (/usr/bin/time).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=3
dir=${TMPDIR:-/tmp}/kerf-cm-bench
cpu=$(($(nproc) - 1))
build=$here/../build/native
while [[ $# -gt 0 ]]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --cpu) cpu=$2; shift 2 ;;
    *) build=$1; shift ;;
  esac
done
mkdir -p "$dir"
make_recording() {  # name repeat width height kbps
  [[ -f $dir/$1.ts && -f $dir/$1.truth ]] && return
  "$build/bin/make_cm_recording" "$dir" "$1.ts" "$2" "$3" "$4" "$5" > "$dir/$1.truth"
}
make_recording ci 1 320 180 400
make_recording long 8 720 480 3000
make_recording hd 2 1440 1080 15000

printf '%-9s %9s %8s %8s %10s %9s  %s\n' recording seconds "cpu s" "x real" "rss KiB" "breaks" "worst error / programme cut / other kept"
for name in ci long hd; do
  rec=$dir/$name.ts
  cat "$rec" > /dev/null   # into the page cache
  best=
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%U %S %M' -o "$dir/time.txt" taskset -c "$cpu" "$build/bin/kerf" cm "$rec" --json > "$dir/$name.json"
    read -r user sys rss < "$dir/time.txt"
    cpu_s=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
    if [[ -z $best ]] || awk -v a="$cpu_s" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$cpu_s; best_rss=$rss; fi
  done
  python3 - "$dir/$name.truth" "$dir/$name.json" "$best" "$best_rss" "$name" <<'PY'
import json, sys
truth_lines = [l.split() for l in open(sys.argv[1])]
end = float(truth_lines[-1][1])
segs = [(t[0], float(t[1]), t[4]) for t in truth_lines[:-1]]
shown = {}
for i, (kind, start, event) in enumerate(segs):
    shown[event] = shown.get(event, 0) + (segs[i + 1][1] if i + 1 < len(segs) else end) - start
programme = max(shown, key=shown.get)
truth = []
for kind, start, event in segs:
    k = 'outside' if event != programme else 'break' if kind == 'commercial' else 'programme'
    if not truth or truth[-1][0] != k: truth.append([k, start])
truth[0][1] = 0
found = [(s['kind'], s['startMs'] / 1000, s['endMs'] / 1000) for s in json.load(open(sys.argv[2]))['stretches']]
worst = max(abs(f[1] - t[1]) for f, t in zip(found, truth)) if len(found) == len(truth) else float('nan')
kinds_ok = [f[0] for f in found] == [t[0] for t in truth]
spans = [(t[1], truth[i + 1][1] if i + 1 < len(truth) else end) for i, t in enumerate(truth) if t[0] == 'programme']
kept = [(f[1], f[2]) for f in found if f[0] == 'programme']
overlap = sum(max(0, min(a[1], b[1]) - max(a[0], b[0])) for a in spans for b in kept)
total = sum(b - a for a, b in spans)
breaks = sum(1 for t in truth if t[0] == 'break')
print('%-9s %9.1f %8s %8.0f %10s %6d/%-2d  %.3f s / %.3f s / %.3f s%s' % (sys.argv[5], end, sys.argv[3], end / float(sys.argv[3]),
      sys.argv[4], sum(1 for f in found if f[0] == 'break'), breaks, worst, total - overlap,
      sum(b - a for a, b in kept) - overlap, '' if kinds_ok else '  (stretch kinds differ from the truth)'))
PY
done
