#!/usr/bin/env bash
# Makes the reference streams of the decoder tests with Debian's ffmpeg (mpeg2video encoder) and
# ffmpeg's own decode of each first picture as raw planes. Usage: make_reference.sh OUTDIR
# For each case NAME: NAME.m2v (elementary stream), NAME.yuv (first picture, yuv420p; yuv422p for
# 4:2:2, with NAME.p.yuv, the P picture after it). Outputs are kept and reused while this script is unchanged.
set -euo pipefail
out=$1
mkdir -p "$out"
stamp="$out/.stamp"
me=$(sha1sum "$0" | cut -d' ' -f1)
if [[ -f $stamp && $(cat "$stamp") == "$me" ]]; then exit 0; fi
command -v ffmpeg >/dev/null || { echo "ffmpeg not found" >&2; exit 1; }

# A custom intra matrix (raster order), steeper than the default.
custom_matrix="8,12,14,16,18,20,24,28,12,14,16,18,20,24,28,32,14,16,18,20,24,28,32,40,16,18,20,24,28,32,40,48,18,20,24,28,32,40,48,56,20,24,28,32,40,48,56,64,24,28,32,40,48,56,64,72,28,32,40,48,56,64,72,80"

make_case() {  # name size source encoder-options...
  local name=$1 size=$2 src=$3
  shift 3
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$src=size=$size:rate=30000/1001" \
    -frames:v 4 -pix_fmt "${PIXFMT:-yuv420p}" -c:v mpeg2video -g 12 -bf 0 "$@" \
    -f mpeg2video "$out/$name.m2v"
  ffmpeg -nostdin -hide_banner -loglevel error -y -i "$out/$name.m2v" -frames:v 1 \
    -f rawvideo -pix_fmt "${PIXFMT:-yuv420p}" "$out/$name.yuv"
  if [[ ${PIXFMT:-yuv420p} == yuv422p ]]; then
    ffmpeg -nostdin -hide_banner -loglevel error -y -i "$out/$name.m2v" -vf "select=eq(n\,1)" \
      -frames:v 1 -f rawvideo -pix_fmt yuv422p "$out/$name.p.yuv"
  fi
}

make_case progressive_720x480 720x480 testsrc2 -q:v 3
make_case interlaced_1440x1080 1440x1080 testsrc2 -q:v 4 -vf interlace -flags +ildct+ilme -top 1 \
  -alternate_scan 1 -intra_vlc 1
make_case hd_1920x1080 1920x1080 testsrc2 -q:v 4
make_case custom_matrix_720x480 720x480 mandelbrot -q:v 3 -intra_matrix "$custom_matrix"
make_case dc9_720x480 720x480 testsrc2 -q:v 3 -dc 9
make_case dc10_720x480 720x480 testsrc2 -q:v 2 -dc 10
make_case dc11_720x480 720x480 testsrc2 -q:v 2 -dc 11 -intra_vlc 1
make_case nonlinear_720x480 720x480 mandelbrot -q:v 5 -non_linear_quant 1 -qmin 1 -qmax 28
make_case fine_quant_720x480 720x480 testsrc2 -q:v 1 -qmin 1 -intra_vlc 1
make_case odd_size_704x470 704x470 testsrc2 -q:v 3
PIXFMT=yuv422p make_case chroma422_720x480 720x480 testsrc2 -q:v 3
PIXFMT=yuv422p make_case chroma422_interlaced_720x608 720x608 testsrc2 -q:v 3 -vf interlace \
  -flags +ildct+ilme -top 1
echo "$me" > "$stamp"
