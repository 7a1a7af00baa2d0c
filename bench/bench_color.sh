#!/usr/bin/env bash
# Colour benchmark: mapping speed, then the adaptive palette's quality and time beside ffmpeg
# (palettegen + paletteuse) and ImageMagick (-colors 256) on a few full-colour pictures made here.
#   bench/bench_color.sh [BUILD_DIR]     (default build-bench, configured with -DLW_BUILD_BENCH=ON)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-bench}
BENCH=$BUILD/bench/bench_color
[ -x "$BENCH" ] || { echo "build $BENCH first (cmake -DLW_BUILD_BENCH=ON)" >&2; exit 2; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

echo "== Speed"
"$BENCH" speed

# Pictures: a fractal plasma, a softened plasma (photo-like smooth shading), the Mandelbrot set, ffmpeg's
# test card, ImageMagick's built-in rose photo enlarged, all as plain 24-bit BMP files.
convert -size 1920x1080 -seed 3 plasma:fractal -type TrueColor "BMP3:$WORK/plasma.bmp"
convert -size 1280x720 -seed 11 plasma:fractal -blur 0x6 -type TrueColor "BMP3:$WORK/smooth.bmp"
ffmpeg -v error -f lavfi -i mandelbrot=s=1280x720 -frames:v 1 -pix_fmt bgr24 "$WORK/mandel.bmp"
ffmpeg -v error -f lavfi -i testsrc2=s=1280x720 -frames:v 1 -pix_fmt bgr24 "$WORK/testsrc2.bmp"
convert rose: -resize 1000% -type TrueColor "BMP3:$WORK/rose.bmp"

now() { date +%s.%N; }
psnr() { compare -metric PSNR "$1" "$2" null: 2>&1 || true; }

echo
echo "== Quality: PSNR (dB) of the 256-colour picture against the original; time in ms"
echo "   ours: in-process import (palette + mapping) / whole process; peers: whole process"
printf "%-10s %9s | %-20s | %-20s | %-16s | %-16s\n" picture size "ours dithered" "ours plain" "ffmpeg" "ImageMagick"
for name in plasma smooth mandel testsrc2 rose; do
  in="$WORK/$name.bmp"
  size=$(identify -format "%wx%h" "$in")
  t0=$(now)
  ours_ms=$("$BENCH" map "$in" "$WORK/$name.ours.ppm" 0x80082)
  ours_wall=$(echo "($(now) - $t0) * 1000" | bc)
  plain_ms=$("$BENCH" map "$in" "$WORK/$name.plain.ppm" 0x80002)
  t0=$(now)
  ffmpeg -v error -y -i "$in" -vf "split[a][b];[a]palettegen=max_colors=256[p];[b][p]paletteuse" \
    "$WORK/$name.ffmpeg.png"
  ff_wall=$(echo "($(now) - $t0) * 1000" | bc)
  t0=$(now)
  convert "$in" -colors 256 "$WORK/$name.im.png"
  im_wall=$(echo "($(now) - $t0) * 1000" | bc)
  printf "%-10s %9s | %5.2f %5.0f/%5.0f ms | %5.2f %5.0f ms       | %5.2f %6.0f ms | %5.2f %6.0f ms\n" \
    "$name" "$size" "$(psnr "$in" "$WORK/$name.ours.ppm")" "$ours_ms" "$ours_wall" \
    "$(psnr "$in" "$WORK/$name.plain.ppm")" "$plain_ms" \
    "$(psnr "$in" "$WORK/$name.ffmpeg.png")" "$ff_wall" "$(psnr "$in" "$WORK/$name.im.png")" "$im_wall"
done

echo
echo "== Dithering onto a fixed palette (the adaptive one of plasma.bmp), whole process, ms"
convert "$WORK/plasma.ours.ppm.pal.ppm" "$WORK/pal.png"
t0=$(now)
convert "$WORK/plasma.bmp" -dither FloydSteinberg -remap "$WORK/pal.png" "$WORK/plasma.remap.bmp"
im_remap=$(echo "($(now) - $t0) * 1000" | bc)
t0=$(now)
convert "$WORK/plasma.bmp" "$WORK/plasma.copy.bmp"
im_copy=$(echo "($(now) - $t0) * 1000" | bc)
printf "ImageMagick -dither FloydSteinberg -remap: %.0f ms (of which %.0f ms reading and writing the BMP)\n" \
  "$im_remap" "$im_copy"
printf "ImageMagick remap PSNR %.2f dB\n" "$(psnr "$WORK/plasma.bmp" "$WORK/plasma.remap.bmp")"
