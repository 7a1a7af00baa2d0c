#!/usr/bin/env bash
# Makes the GIF benchmark inputs with ffmpeg's lavfi sources into build/bench-inputs (never committed).
#   bench/make_inputs.sh [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/bench-inputs}
mkdir -p "$out"
make_gif() {  # NAME SOURCE FRAMES
  [ -s "$out/$1.gif" ] && return
  # A palette made for the clip, as real tools do, then the frames mapped onto it.
  # The source is cut to the frame count (at 25 frames a second) so that the palette pass sees its end.
  ffmpeg -v error -y -f lavfi -t "$(awk "BEGIN{print $3/25}")" -i "$2" -frames:v "$3" \
    -filter_complex "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=bayer" "$out/$1.gif"
}
make_gif testsrc2-640x480x150 "testsrc2=size=640x480:rate=25" 150
make_gif mandelbrot-320x240x200 "mandelbrot=size=320x240:rate=25" 200
make_gif life-400x300x200 "life=size=400x300:rate=25:mold=10:ratio=0.5" 200
ls -l "$out"
