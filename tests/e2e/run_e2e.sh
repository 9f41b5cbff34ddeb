#!/usr/bin/env bash
# End-to-end test of the Windows build under Wine: installs the program folder (cmake --install)
# into a fresh folder with a Japanese name, runs the driver (which starts kerfcut.exe and operates it), and turns the
# screenshots into PNG files. Runs under the display in DISPLAY, or under its own Xvfb.
# Usage: run_e2e.sh <build dir> <driver.exe> [Unix locale for Wine, default ja_JP.UTF-8]
#                   [program folder name, default "カット 試験"]
set -euo pipefail
build=${1:?build dir}
driver=${2:?driver}
lang=${3:-ja_JP.UTF-8}
name=${4:-カット 試験}
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run.sh

if [ -z "${DISPLAY:-}" ]; then
  # Wine's helper processes lose their display when Xvfb ends; that farewell is not news.
  exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@" 2> >(grep -v '^X connection to .* broken' >&2)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder="$work/$name"
mkdir -p "$folder" "$work/shots"
"${CMAKE:-cmake}" --install "$build" --prefix "$folder" >/dev/null
for file in kerfcut.exe KERFDMX.EXE LOGO.BMP README.HTM; do
  [ -f "$folder/$file" ] || { echo "run_e2e.sh: the install left out $file" >&2; exit 1; }
done
cp "$driver" "$work/"
# The stand-in for the external player and the demux tool's holder, built beside the driver.
cp "$(dirname "$driver")/stand_in_player.exe" "$(dirname "$driver")/tool_holder.exe" "$work/"
# The preview scenario compares the window's picture with ffmpeg's decode of the sample clip: its
# intra pictures, one per sequence, in order.
clip=$(cd "$here/../../sample" && pwd)/clip.m2v
ffmpeg -nostdin -loglevel error -y -i "$clip" -vf 'select=eq(pict_type\,I)' -fps_mode passthrough \
  -f rawvideo -pix_fmt yuv420p "$work/clip-intra.yuv" || echo "run_e2e.sh: ffmpeg could not decode $clip" >&2
export KERF_SAMPLE_CLIP="Z:${clip//\//\\}" KERF_CLIP_YUV="Z:${work//\//\\}\\clip-intra.yuv"

export KERF_WINE_LANG=$lang
# A prefix of its own per locale, kept in the build tree: Wine processes that other tests start
# in a shared prefix from another display (or none) would otherwise host these windows, and a
# prefix made under one locale and used under another draws its menus without Japanese glyphs.
own_prefix=0
if [ -z "${KERF_WINEPREFIX:-}" ]; then
  export KERF_WINEPREFIX=$build/wineprefix-e2e-${lang%%.*}
  own_prefix=1
fi
status=0
# winepath runs in the same prefix; the folders are on drive Z:.
win_folder="Z:${folder//\//\\}"
win_shots="Z:${work//\//\\}\\shots"
"$wine_run" "$work/$(basename "$driver")" "$win_folder" "$win_shots" || status=$?
# Only this test's programs run in its own prefix: end them all (the desktop process would
# otherwise outlive the display). A prefix the caller chose is left alone.
if [ $own_prefix = 1 ]; then
  WINEPREFIX=$KERF_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
fi

out="$build/e2e-shots/${lang%%.*}"
mkdir -p "$out"
for bmp in "$work/shots/"*.bmp; do
  [ -f "$bmp" ] || continue
  convert "$bmp" "$out/$(basename "${bmp%.bmp}").png"
done
exit $status
