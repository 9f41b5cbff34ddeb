#!/usr/bin/env bash
# Makes the packages (scripts/make-packages.sh) and checks them as people install them:
#   deb           lintian finds no error; apt installs the package on this machine, /usr/bin/kerf
#                 tells the package's version, reads the sample recording and serves; apt purges it
#   zip           the zip unpacked into a folder with a Japanese name and into one whose name has
#                 no code page 932 form; kerfcut.exe starts from each under Wine (logo, main
#                 window, exit, settings saved beside it)
#   fresh-debian  the same install, run and purge in a fresh `debootstrap --variant=minbase
#                 bookworm` root, apt bringing nothing but the package's Depends, without the
#                 packages they recommend (slow; not in CI)
# Usage: scripts/check-packages.sh deb|zip|fresh-debian...
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
work=$(mktemp -d)
trap '"${sudo_cmd[@]}" rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

fail() { echo "check-packages: $*" >&2; exit 1; }

# The bundled sample recording (three programmes), made by the native build's generator.
make_sample() {
  cmake --build --preset native --target kerf_make_sample >/dev/null
  build/native/bin/kerf_make_sample sample/clip.m2v "$work/sample.ts" >/dev/null
}

# $1: how to run a command where the package is installed (empty: here); $4: the package's path
# there, then apt's options. The installed kerf tells the package's version and lists the
# sample's three programmes; the purge leaves no file behind.
install_run_purge() {
  local -a in=($1)
  local deb=$2 sample=$3 version
  version=$(dpkg-deb -f "$deb" Version)
  "${in[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o Dpkg::Use-Pty=0 "${@:5}" "$4" </dev/null |
    grep -E '^(The following|  |Setting up)' || true
  "${in[@]}" dpkg -s kerfcut >/dev/null || fail "kerfcut is not installed"
  local said
  said=$("${in[@]}" /usr/bin/kerf --version)
  echo "$ kerf --version"; echo "$said"
  [ "$said" = "kerf $version" ] || fail "kerf --version says '$said', the package is $version"
  echo "$ kerf info sample.ts"
  "${in[@]}" /usr/bin/kerf info "$sample" | tee "$work/info.txt"
  [ "$(grep -c ' service ' "$work/info.txt")" = 3 ] || fail "kerf info did not list the sample's three programmes"
  # The unit as systemd reads it, for an instance folder whose name needs escaping: no complaint.
  if [[ $1 != *chroot* ]] && command -v systemd-analyze >/dev/null; then
    cp /usr/lib/systemd/system/kerf-serve@.service "$work/"
    ln -s kerf-serve@.service "$work/kerf-serve@srv-my\x2drecordings.service"
    said=$(systemd-analyze verify "$work/kerf-serve@srv-my\x2drecordings.service" 2>&1) && [ -z "$said" ] ||
      fail "systemd-analyze verify: $said"
  fi
  # kerf serve starts with the installed libraries and prints its address (the token left out).
  echo "$ kerf serve --root /tmp --listen 127.0.0.1:0"
  "${in[@]}" timeout -s INT 5 /usr/bin/kerf serve --root /tmp --listen 127.0.0.1:0 \
    --token-file /tmp/kerf-check-token >"$work/serve.txt" 2>&1 || true
  "${in[@]}" rm -f /tmp/kerf-check-token
  sed 's/token=.*/token=.../' "$work/serve.txt"
  grep -q '^kerf serve: open http://127\.0\.0\.1:[0-9]*/?token=' "$work/serve.txt" || fail "kerf serve did not start"
  "${in[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q -o Dpkg::Use-Pty=0 kerfcut </dev/null | grep -E '^(Removing|Purging)' || true
  ! "${in[@]}" dpkg -s kerfcut >/dev/null 2>&1 || fail "kerfcut is still installed"
  ! "${in[@]}" test -e /usr/bin/kerf -o -e /usr/share/doc/kerfcut || fail "the purge left files behind"
}

check_deb() {
  local deb
  deb=$(scripts/make-packages.sh deb)
  echo "== lintian $(basename "$deb")"
  local status=0
  lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || status=$?
  grep -v 'running with root privileges' "$work/lintian.txt" || true
  [ $status = 0 ] || fail "lintian found errors"
  make_sample
  echo "== apt install, run and purge on this machine"
  install_run_purge "${sudo_cmd[*]}" "$deb" "$work/sample.ts" "$deb"
}

check_zip() {
  local zip name folder
  zip=$(scripts/make-packages.sh zip)
  cmake --build --preset win64 --target kerfcut_driver >/dev/null
  for name in "カット 配布" "剪切测试"; do
    echo "== $(basename "$zip") unpacked into '$name', kerfcut.exe started under Wine"
    mkdir -p "$work/$name"
    unzip -q "$zip" -d "$work/$name"
    folder="$work/$name/$(basename "$zip" .zip)"
    for file in kerfcut.exe KERFDMX.EXE LOGO.BMP README.HTM kerf.exe; do
      [ -f "$folder/$file" ] || fail "the zip has no $file"
    done
    # Wine's server is waited for before the display goes away.
    KERF_WINEPREFIX=$PWD/build/wineprefix xvfb-run -a -s '-screen 0 1280x1024x24' bash -c \
      'rc=0; scripts/wine-run.sh "$1" "$2" --start-only || rc=$?; WINEPREFIX=$KERF_WINEPREFIX wineserver -w; exit $rc' \
      - build/win64/tests/kerfcut_driver.exe "Z:${folder//\//\\}" || fail "kerfcut did not start from '$name'"
  done
}

check_fresh_debian() {
  local deb mirror root=$work/root
  deb=$(scripts/make-packages.sh deb)
  make_sample
  # Debian's mirror as this machine's apt reaches it (KERF_DEBIAN_MIRROR chooses another).
  mirror=${KERF_DEBIAN_MIRROR:-$(grep -shoE 'https?://[^ ]*/debian/?( |$)' /etc/apt/sources.list \
    /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources || true)}
  mirror=${mirror%%$'\n'*}
  mirror=${mirror% }
  [ -n "$mirror" ] || fail "no Debian mirror in /etc/apt/sources.list*"
  echo "== debootstrap --variant=minbase bookworm from $mirror"
  "${sudo_cmd[@]}" debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; fail "debootstrap failed"; }
  "${sudo_cmd[@]}" cp /etc/resolv.conf "$root/etc/"
  # The mirror may serve a dated snapshot, whose Release files are past their Valid-Until.
  echo 'Acquire::Check-Valid-Until "false";' | "${sudo_cmd[@]}" tee "$root/etc/apt/apt.conf.d/99check-packages" >/dev/null
  "${sudo_cmd[@]}" cp "$deb" "$work/sample.ts" "$root/tmp/"
  "${sudo_cmd[@]}" chroot "$root" apt-get update -q >/dev/null
  echo "packages in the fresh root: $("${sudo_cmd[@]}" chroot "$root" dpkg-query -W | wc -l)"
  echo "== apt install, run and purge in the fresh root"
  # Recommended packages stay out: the programs must run with the Depends alone.
  install_run_purge "${sudo_cmd[*]} chroot $root" "$deb" /tmp/sample.ts "/tmp/$(basename "$deb")" \
    --no-install-recommends
}

[ $# -gt 0 ] || fail "usage: scripts/check-packages.sh deb|zip|fresh-debian..."
for mode in "$@"; do
  case $mode in
    deb) check_deb ;;
    zip) check_zip ;;
    fresh-debian) check_fresh_debian ;;
    *) fail "unknown check $mode (deb, zip or fresh-debian)" ;;
  esac
done
echo "check-packages: $* good"
