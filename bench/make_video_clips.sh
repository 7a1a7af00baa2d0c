#!/usr/bin/env bash
# Four 75-frame, 480 x 270, 15 fps clips for the video benchmark, each as a lossless movie (FFV1 in
# Matroska, RGB) and as the same frames in PNG (for converters that take pictures):
#   colour  a slow pan over a colour photo        mono    the same over a black-and-white photo
#   screen  code scrolling in an editor window with a moving pointer (rendered)
#   fractal a Mandelbrot zoom (ffmpeg's lavfi source)
#   bench/make_video_clips.sh DIR        Needs: ffmpeg imagemagick python3-skimage fonts-dejavu-core
set -euo pipefail
OUT=${1:?give an output folder}
mkdir -p "$OUT"
DATA=/usr/lib/python3/dist-packages/skimage/data
SRC=$(cd "$(dirname "$0")/.." && pwd)
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
pan='scale=1600:-1,zoompan=z=1.6:x=100+on*2.7:y=ih/5+on*0.9:d=75:s=480x270:fps=15'
ffmpeg -v error -y -i "$DATA/coffee.png" -vf "$pan,format=rgb24" -frames:v 75 "$T/colour.mkv" 2>/dev/null ||
  ffmpeg -v error -y -i "$DATA/astronaut.png" -vf "$pan,format=rgb24" -frames:v 75 "$T/colour.mkv"
ffmpeg -v error -y -i "$DATA/camera.png" -vf "$pan,format=gray,format=rgb24" -frames:v 75 "$T/mono.mkv"

# The editor window: a title bar, a gutter and coloured code on white, taller than the screen.
sed -n 1,160p "$SRC/src/optimize/lossy.cpp" >"$T/code.txt"
convert -size 480x2600 xc:white -fill '#f3f3f3' -draw 'rectangle 0,0 38,2600' \
  -font DejaVu-Sans-Mono -pointsize 12 -fill '#1e1e1e' -annotate +46+16 "$(cat "$T/code.txt")" \
  -fill '#999999' -annotate +4+16 "$(seq 1 160)" "$T/page.png"
convert -size 12x18 xc:none -fill black -stroke white -draw 'polygon 0,0 0,15 4,11 7,17 9,16 6,10 11,10' "$T/ptr.png"
ffmpeg -v error -y -loop 1 -framerate 15 -i "$T/page.png" -loop 1 -framerate 15 -i "$T/ptr.png" -filter_complex \
  "[0]crop=480:246:0:'if(lt(n,15),0,min((n-15)*6,2000))'[c];[c]pad=480:270:0:24:color=#007acc[p];\
[p]drawbox=x=0:y=0:w=480:h=24:color=#007acc:t=fill,drawbox=x=8:y=6:w=60:h=12:color=white@1:t=fill[w];\
[w][1]overlay=x='60+n*4':y='200-n*1.5',format=rgb24" -frames:v 75 "$T/screen.mkv"
ffmpeg -v error -y -f lavfi -i "mandelbrot=size=480x270:rate=15" -vf format=rgb24 -frames:v 75 "$T/fractal.mkv"

for clip in colour mono screen fractal; do
  ffmpeg -v error -y -i "$T/$clip.mkv" -c:v ffv1 -pix_fmt bgr0 "$OUT/$clip.mkv"
  mkdir -p "$OUT/$clip"
  rm -f "$OUT/$clip"/*.png
  ffmpeg -v error -y -i "$OUT/$clip.mkv" -pix_fmt rgb24 "$OUT/$clip/%03d.png"
done
