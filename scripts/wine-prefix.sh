#!/usr/bin/env bash
# Prepares a Wine prefix for running and testing the Windows build: no window manager decorations
# (Xvfb has none), no crash dialog, the Japanese dialog fonts mapped to the IPA fonts, Marlett for
# caption buttons. Safe to call concurrently; the work is done once per prefix.
set -euo pipefail
prefix=${1:?prefix folder}
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.kerf-ready" ] && exit 0

# No Mono or Gecko: nothing here needs them, and their installers would open dialogs.
WINEDLLOVERRIDES="mscoree=;mshtml=" wineboot -i >/dev/null 2>&1 || true
wineserver -w || true

reg=$(mktemp --suffix=.reg)
cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"ＭＳ ゴシック"="IPAGothic"
"MS Gothic"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"MS UI Gothic"="IPAPGothic"
REG
# regedit reads .reg files in the ANSI code page unless they are UTF-16 with a byte-order mark.
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$reg"; } >"$reg.u16"
wine regedit /S "$(winepath -w "$reg.u16")" >/dev/null 2>&1
rm -f "$reg" "$reg.u16"

fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
for f in /usr/share/fonts/opentype/ipafont-gothic/*.ttf /usr/share/fonts/truetype/fonts-japanese-gothic.ttf \
         /usr/share/wine/fonts/marlett.ttf /usr/lib/x86_64-linux-gnu/wine/fonts/marlett.ttf; do
  [ -f "$f" ] && cp -f "$f" "$fonts/" || true
done
wineserver -w || true
touch "$prefix/.kerf-ready"
