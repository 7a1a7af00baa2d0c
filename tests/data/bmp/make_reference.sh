#!/usr/bin/env bash
# Writes reference/NAME.rgb for each distinct picture: ImageMagick's own decode of the BMP as interleaved
# 8-bit red, green, blue, top row first. The BMP tests compare Loopwright's import against these.
set -euo pipefail
cd "$(dirname "$0")"
for name in pal1 pal1bg pal4 pal8 pal8nonsquare pal8w124 pal8w125 pal8w126 rgb16 rgb16-565 rgb24; do
  convert "$name.bmp" -depth 8 "rgb:reference/$name.rgb"
done
