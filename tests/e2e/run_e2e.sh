#!/usr/bin/env bash
# End-to-end test of the Windows build under Wine: lays the program folder out in a fresh folder
# with a Japanese name, runs the driver (which starts kerfcut.exe and operates it), and turns the
# screenshots into PNG files. Runs under the display in DISPLAY, or under its own Xvfb.
# Usage: run_e2e.sh <build dir> <driver.exe> [Unix locale for Wine, default ja_JP.UTF-8]
set -euo pipefail
build=${1:?build dir}
driver=${2:?driver}
lang=${3:-ja_JP.UTF-8}
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run.sh

if [ -z "${DISPLAY:-}" ]; then
  # Wine's helper processes lose their display when Xvfb ends; that farewell is not news.
  exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@" 2> >(grep -v '^X connection to .* broken' >&2)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder="$work/カット 試験"
mkdir -p "$folder" "$work/shots"
cp "$build/kerfcut/"* "$folder/"
cp "$driver" "$work/"

export KERF_WINE_LANG=$lang
status=0
# winepath runs in the same prefix; the folders are on drive Z:.
win_folder="Z:${folder//\//\\}"
win_shots="Z:${work//\//\\}\\shots"
"$wine_run" "$work/$(basename "$driver")" "$win_folder" "$win_shots" || status=$?

out="$build/e2e-shots/${lang%%.*}"
mkdir -p "$out"
for bmp in "$work/shots/"*.bmp; do
  [ -f "$bmp" ] || continue
  convert "$bmp" "$out/$(basename "${bmp%.bmp}").png"
done
exit $status
