#!/usr/bin/env bash
# The high-quality quantizer beside pngquant, ffmpeg (palettegen + paletteuse) and ImageMagick: PSNR of the
# 256-colour picture against the original and the whole process's time, with and without dither.
#   bench/bench_quantize.sh [BUILD_DIR]   (BUILD_DIR configured with -DLW_BUILD_BENCH=ON; default build-bench)
# Pictures: the photos Debian's python3-skimage ships, a smooth plasma and a two-colour gradient.
# Needs: pngquant ffmpeg imagemagick python3-skimage (apt-get install them).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-bench}
BENCH=$BUILD/bench/bench_color
[ -x "$BENCH" ] || { echo "build $BENCH first (cmake -DLW_BUILD_BENCH=ON)" >&2; exit 2; }
DATA=/usr/lib/python3/dist-packages/skimage/data
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

for name in astronaut chelsea coffee motorcycle_left; do
  [ -f "$DATA/$name.png" ] && convert "$DATA/$name.png" -type TrueColor "BMP3:$WORK/$name.bmp"
done
convert -size 1280x720 -seed 11 plasma:fractal -blur 0x6 -type TrueColor "BMP3:$WORK/smooth.bmp"
convert -size 800x400 gradient:'#102040'-'#f0c080' -type TrueColor "BMP3:$WORK/gradient.bmp"

psnr() { compare -metric PSNR "$1" "$2" null: 2>&1 || true; }
# Seconds of processor time (user + system) of one command.
cpu() { /usr/bin/time -f "%U %S" "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.2f", $1 + $2}'; }

printf "%-16s | %-17s %-17s | %-17s %-17s | %-17s %-17s | %-12s\n" picture "ours plain" "pngquant --nofs" \
  "ours dither" "pngquant" "ffmpeg" "ffmpeg dither" "ImageMagick"
for bmp in "$WORK"/*.bmp; do
  name=$(basename "$bmp" .bmp)
  png="$WORK/$name.png"
  convert "$bmp" "$png"
  t1=$(cpu "$BENCH" map "$bmp" "$WORK/$name.o.ppm" 0x80042)
  t2=$(cpu pngquant --force --nofs --output "$WORK/$name.pn.png" 256 "$png")
  t3=$(cpu "$BENCH" map "$bmp" "$WORK/$name.od.ppm" 0x800C2)
  t4=$(cpu pngquant --force --output "$WORK/$name.pd.png" 256 "$png")
  t5=$(cpu ffmpeg -v error -y -i "$png" -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse=dither=none" \
    "$WORK/$name.f.png")
  t6=$(cpu ffmpeg -v error -y -i "$png" -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$WORK/$name.fd.png")
  t7=$(cpu convert "$png" -colors 256 "$WORK/$name.im.png")
  printf "%-16s | %6.2f dB %5ss %6.2f dB %5ss | %6.2f dB %5ss %6.2f dB %5ss | %6.2f dB %5ss %6.2f dB %5ss | %6.2f dB %5ss\n" \
    "$name" "$(psnr "$bmp" "$WORK/$name.o.ppm")" "$t1" "$(psnr "$bmp" "$WORK/$name.pn.png")" "$t2" \
    "$(psnr "$bmp" "$WORK/$name.od.ppm")" "$t3" "$(psnr "$bmp" "$WORK/$name.pd.png")" "$t4" \
    "$(psnr "$bmp" "$WORK/$name.f.png")" "$t5" "$(psnr "$bmp" "$WORK/$name.fd.png")" "$t6" \
    "$(psnr "$bmp" "$WORK/$name.im.png")" "$t7"
done
