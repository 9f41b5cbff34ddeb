#!/usr/bin/env bash
# Builds kerfcut for Windows and starts it: under Wine on Linux, from the laid-out program folder
# (kerfcut.exe, KERFDMX.EXE, LOGO.BMP, README.HTM side by side). Needs a display.
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ "$(uname -s)" = Linux ]; then
  cat <<'MSG'
run.sh: no display. kerfcut is a windowed program; start it from a desktop session, or with
ssh -X, or give it a virtual display and look at it through a screenshot:
  xvfb-run -a -s '-screen 0 1280x1024x24' ./run.sh
The tests need no display: ./test.sh (the Windows tests bring their own Xvfb).
MSG
  exit 1
fi

./scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target kerfcut
folder=build/win64/kerfcut
cd "$folder"
if [ "$(uname -s)" = Linux ]; then
  exec ../../../scripts/wine-run.sh ./kerfcut.exe
else
  exec ./kerfcut.exe
fi
