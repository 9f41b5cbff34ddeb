#!/usr/bin/env bash
# Makes the packages people install, named with the project's version, in build/packages/:
#   deb  kerfcut_VERSION_amd64.deb from the native build (kerf, kerfdmx, manual page, docs, unit)
#   zip  kerfcut-VERSION-win64.zip from the win64 build (the Windows program folder)
# Usage: scripts/make-packages.sh [deb|zip]...   (default: both). Prints each package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build/packages
mkdir -p "$out"

package() {
  local preset=$1 generator=$2
  shift 2
  cmake --preset "$preset" >/dev/null
  # Only what the package holds is built; cpack's install step builds nothing more.
  local log
  log=$(cmake --build --preset "$preset" --target "$@" 2>&1) || { echo "$log" >&2; return 1; }
  log=$(cpack -G "$generator" --config "build/$preset/CPackConfig.cmake" -B "$out" 2>&1) ||
    { echo "$log" >&2; return 1; }
  # cpack names the file it made on its last line: "CPack: - package: PATH generated."
  sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log"
}

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(deb zip)
for kind in "${kinds[@]}"; do
  case $kind in
    deb) package native DEB kerf kerfdmx kerf_package_files ;;
    zip) package win64 ZIP kerfcut kerfdmx kerf ;;
    *) echo "usage: scripts/make-packages.sh [deb|zip]..." >&2; exit 2 ;;
  esac
done
