#!/usr/bin/env bash
# Remakes clip.m2v, the 12-second MPEG-2 video (720x480, 29.97 frames/s, GOP of 15) from which the
# sample recording is built. The clip is committed so that the sample never depends on an encoder.
set -euo pipefail
cd "$(dirname "$0")"
ffmpeg -v error -y -f lavfi \
  -i "testsrc2=size=720x480:rate=30000/1001,drawtext=text='KerfCut %{pts\\:hms}':fontsize=40:x=40:y=40:fontcolor=white" \
  -t 12 -c:v mpeg2video -b:v 900k -maxrate 1500k -bufsize 1835k -g 15 -bf 2 -pix_fmt yuv420p \
  -f mpeg2video clip.m2v
