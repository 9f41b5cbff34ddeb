#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test: native, under
# AddressSanitizer + UndefinedBehaviorSanitizer, every fuzz target briefly, and the Windows build
# under Wine; then makes the Debian package and the Windows zip and checks both.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc)
# Each step's failure is the function's result, also where errexit does not apply.
run_preset() {
  local preset=$1
  echo "== $preset: configure and build" &&
    cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "$jobs" &&
    echo "== $preset: tests" &&
    ctest --preset "$preset" -j "$jobs"
}

run_preset native
run_preset asan
# Every fuzz target built and run for 10 s on its corpus, so that none rots; a finding fails the
# run and names its reproducer.
echo "== fuzz: build and run every target for 10 s"
scripts/fuzz.sh 10
# The Windows tests run under Wine; windowed ones need a display, which Xvfb provides. Wine's
# server is waited for before the display goes away, so nothing complains about a lost X connection.
xvfb-run -a -s '-screen 0 1280x1024x24' bash -c "$(declare -f run_preset); jobs=$jobs; rc=0; \
  run_preset win64 || rc=\$?; WINEPREFIX='$PWD/build/wineprefix' wineserver -w; exit \$rc"
# The packages as people install them: the Debian package through lintian, installed with apt,
# run from /usr/bin and purged; the zip unpacked into folders with a Japanese name and a name
# outside code page 932, kerfcut started from each under Wine.
echo "== packages: make and check the Debian package and the Windows zip"
scripts/check-packages.sh deb zip
