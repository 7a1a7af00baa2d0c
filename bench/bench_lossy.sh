#!/usr/bin/env bash
# Lossy GIF compression beside gifsicle: bytes and mean PSNR of the composed frames against the input
# (ffmpeg's psnr filter over every frame as a browser shows it).
#   bench/bench_lossy.sh [LOOPWRIGHT_CLI]   (default build/ci/loopwright-cli)
# Needs: gifsicle ffmpeg python3-skimage (for the photo pan).
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=${1:-build/ci/loopwright-cli}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PHOTO=/usr/lib/python3/dist-packages/skimage/data/astronaut.png

ffmpeg -v error -f lavfi -i "testsrc=size=320x240:rate=10:duration=4" \
  -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$WORK/testsrc.gif"
ffmpeg -v error -f lavfi -i "testsrc2=size=240x180:rate=10:duration=3" \
  -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$WORK/testsrc2.gif"
ffmpeg -v error -loop 1 -t 3 -framerate 10 -i "$PHOTO" \
  -vf "crop=240:180:x='t*40':y='t*20',split[a][b];[a]palettegen[p];[b][p]paletteuse" "$WORK/pan.gif"

psnr() {
  ffmpeg -i "$1" -i "$2" -lavfi "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr" -f null - 2>&1 |
    grep -o "average:[0-9.inf]*" | head -1 | cut -d: -f2
}
row() { printf "%-10s %-22s %9d  %6.2f dB\n" "$1" "$2" "$(stat -c %s "$3")" "$(psnr "$4" "$3")"; }

printf "%-10s %-22s %9s  %s\n" clip tool bytes "mean PSNR"
for clip in testsrc testsrc2 pan; do
  in="$WORK/$clip.gif"
  row "$clip" input "$in" "$in"
  gifsicle -O3 "$in" -o "$WORK/$clip.gs.gif"
  row "$clip" "gifsicle -O3" "$WORK/$clip.gs.gif" "$in"
  gifsicle -O3 --lossy=80 "$in" -o "$WORK/$clip.gs80.gif"
  row "$clip" "gifsicle -O3 --lossy=80" "$WORK/$clip.gs80.gif" "$in"
  for level in 10 20 30 40 60; do
    "$CLI" optimize "$in" -o "$WORK/$clip.l$level.gif" --lossy=$level --quiet
    row "$clip" "ours --lossy=$level" "$WORK/$clip.l$level.gif" "$in"
  done
done
