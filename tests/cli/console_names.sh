#!/usr/bin/env bash
# kerf.exe under Wine in an English locale, its console a terminal: a path outside code page 932
# comes back on the console as it was given. (Wine's console shows a character beyond the BMP as
# two U+FFFD, so none is used here.) Usage: console_names.sh <kerf.exe>
set -uo pipefail
name='Z:\nowhere\Ünïcødé ñame €\鷗 récording.ts'
log=$(mktemp)
trap 'rm -f "$log"' EXIT
KERF_WINE_LANG=C.UTF-8 script -qec "$(printf '%q ' "$(dirname "$0")/../../scripts/wine-run.sh" "$1" info "$name")" \
  "$log" >/dev/null
# Wine draws each character between cursor sequences and a blank as a cursor move: compare without.
shown=$(sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$log" | tr -d ' \r')
[[ $shown == *"nosuchfile:${name// /}"* ]] || { echo "the console showed: $shown" >&2; exit 1; }
