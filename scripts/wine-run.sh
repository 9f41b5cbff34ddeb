#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (kept in the build tree and made
# once), quietly, with a Japanese locale unless the caller chose one. Used as CTest's emulator.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${KERF_WINEPREFIX:-$here/../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=${KERF_WINE_LANG:-ja_JP.UTF-8}
export LC_ALL=$LANG
"$here/wine-prefix.sh" "$WINEPREFIX"
exec wine "$@"
