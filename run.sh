#!/usr/bin/env bash
# Builds kerfcut for Windows and starts it: under Wine on Linux, from the program folder that
# `cmake --install` lays out (kerfcut.exe, KERFDMX.EXE, LOGO.BMP, README.HTM side by side). Without a display it runs the
# command-line demonstration on the sample recording instead.
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ "$(uname -s)" = Linux ]; then
  cat <<'MSG'
run.sh: no display, so the windowed kerfcut cannot be shown (start it from a desktop session,
with ssh -X, or under a virtual display: xvfb-run -a -s '-screen 0 1280x1024x24' ./run.sh).
Instead, the same job from the command line on the bundled sample recording:
MSG
  exec ./scripts/demo.sh
fi

./scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target kerfcut kerf kerf_make_sample
folder=build/win64/kerfcut
cmake --install build/win64 --prefix "$folder" >/dev/null
linux=0
[ "$(uname -s)" = Linux ] && linux=1
windows() { if [ $linux = 1 ]; then ./scripts/wine-run.sh "$@"; else "$@"; fi; }

# A recording to work on: the bundled sample (three programmes, 30 seconds), made once.
sample=build/win64/sample/sample.ts
if [ ! -f "$sample" ]; then
  mkdir -p "$(dirname "$sample")"
  windows build/win64/bin/kerf_make_sample.exe sample/clip.m2v "$sample"
fi
# The first start opens the sample; later starts come back as the last session left them.
# Type or drop any other recording onto the window to load it instead.
args=()
if [ ! -f "$folder/kerfcut.DAT" ]; then
  full=$(cd "$(dirname "$sample")" && pwd)/$(basename "$sample")
  if [ $linux = 1 ]; then
    full="Z:${full//\//\\}"   # Wine's drive Z: is the Unix root
  elif command -v cygpath >/dev/null; then
    full=$(cygpath -w "$full")
  fi
  args=("$full")
fi
cd "$folder"
if [ $linux = 1 ]; then
  exec ../../../scripts/wine-run.sh ./kerfcut.exe "${args[@]}"
else
  exec ./kerfcut.exe "${args[@]}"
fi
