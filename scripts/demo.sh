#!/usr/bin/env bash
# The main job without a window: builds the sample recording (three programmes with ARIB titles,
# made from the committed MPEG-2 clip), then measures it and lists its programmes, cuts ten
# seconds of one programme, lists where its pictures can be cut, cuts three stretches moved to
# those places in one pass, and writes the preview picture at the start of the cut.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

echo "== building kerf, kerfdmx and the sample generator"
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target kerf kerfdmx kerf_make_sample >/dev/null

bin=build/native/bin
out=build/sample
mkdir -p "$out"
"$bin/kerf_make_sample" sample/clip.m2v "$out/sample.ts"

run() { echo; echo "\$ $*"; "$@"; }
run "$bin/kerf" info "$out/sample.ts"
run "$bin/kerf" cut "$out/sample.ts" -o "$out/weather.ts" --programme 2 \
    --start 00:00:05.000 --end 00:00:15.000 --force
run "$bin/kerf" info "$out/weather.ts"
"$bin/kerf" scan "$out/sample.ts" --programme 2 >"$out/scan.txt"
echo; echo "\$ $bin/kerf scan $out/sample.ts --programme 2 | head -6"; head -6 "$out/scan.txt"
run "$bin/kerf" cut "$out/sample.ts" --programme 2 --snap --force -o "$out/stretch_%d.ts" \
    --range 0:0:02-0:0:04 --range 0:0:10-0:0:12.500 --range 0:0:20-0:0:21
run "$bin/kerf" frame "$out/sample.ts" --at 00:00:05.000 --programme 2 -o "$out/frame.bmp"
if command -v convert >/dev/null && convert "$out/frame.bmp" "$out/frame.png" 2>/dev/null; then
  echo; echo "The picture is in $out/frame.bmp (and $out/frame.png)."
fi
