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
cmake --build --preset win64 --target kerfcut kerf
folder=build/win64/kerfcut
cmake --install build/win64 --prefix "$folder" >/dev/null
cd "$folder"
if [ "$(uname -s)" = Linux ]; then
  exec ../../../scripts/wine-run.sh ./kerfcut.exe
else
  exec ./kerfcut.exe
fi
