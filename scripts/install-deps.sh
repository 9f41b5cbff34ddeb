#!/usr/bin/env bash
# Installs every Debian package that the build and the tests need. Idempotent: apt-get update runs
# only when a package is missing, and nothing is done when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest            # native build and tests
  clang                                       # fuzz targets
  g++-mingw-w64-x86-64                        # Windows build
  wine wine64 xvfb xauth                      # Windows tests under Wine, windows on a virtual display
  fonts-ipafont-gothic locales imagemagick    # Japanese dialogs under Wine, screenshots
  ffmpeg libavcodec-dev libavformat-dev libavutil-dev  # reference decodes, stream checks, benchmarks
  libaribb24-dev                              # independent ARIB text decoder for tests
  python3                                     # small test helpers
  ccache pkg-config                           # rebuilds compile only what changed; library flags
  stress-ng                                   # the end-to-end runs under load (scripts/)
  nlohmann-json3-dev                          # kerf's JSON output
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev  # kerf serve's HTTP (and the headers its flags name)
  libturbojpeg0-dev                           # kerf serve's pictures (JPEG)
  chromium chromium-driver python3-selenium python3-pil  # kerf serve's page in a headless browser
  dpkg-dev lintian zip unzip debootstrap      # the packages: Depends worked out, checked, unpacked
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# Recommended packages come too: Wine's X11 driver loads the X extension libraries (XRender,
# XInput, Xrandr, ...) and its fonts that way, and the window tests depend on them.
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    "${missing[@]}" >/dev/null
fi

# Wine takes the Windows locale and ANSI code page from the Unix locale; ja_JP.UTF-8 gives a
# Japanese Windows (code page 932).
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  "${sudo_cmd[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
