#!/usr/bin/env bash
# Video to GIF beside gifski, ffmpeg (palettegen/paletteuse, with and without gifsicle -O3) and
# ImageMagick on four 75-frame 480 x 270 15 fps clips (bench/make_video_clips.sh): bytes, mean and worst
# PSNR of every composed frame against its source frame, wall seconds, and churn (of the pixels that stay
# still in the source from one frame to the next, the share that changes in the GIF).
#   bench/bench_video.sh [LOOPWRIGHT_CLI] [GIFSKI]
# LOOPWRIGHT_CLI: default build/ci/loopwright-cli. GIFSKI: a gifski binary, measured only (e.g.
# `npm install gifski` in /tmp, then /tmp/node_modules/gifski/bin/debian/gifski); rows skipped without it.
# Needs: ffmpeg gifsicle imagemagick g++ python3-skimage fonts-dejavu-core.
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=$(realpath "${1:-build/ci/loopwright-cli}")
GIFSKI=${2:-}
WORK=${BENCH_VIDEO_WORK:-$(mktemp -d)}
mkdir -p "$WORK"
[ -n "${BENCH_VIDEO_WORK:-}" ] || trap 'rm -rf "$WORK"' EXIT
g++ -O2 -o "$WORK/video_metrics" bench/video_metrics.cpp
[ -f "$WORK/fractal.mkv" ] || bench/make_video_clips.sh "$WORK" >/dev/null

# Composed frames at the clip's 15 fps (delays in hundredths rounded either way land on the right frame).
raw() { ffmpeg -v error -y -i "$1" -vf "fps=15,format=rgb24" -f rawvideo "$2"; }
row() {  # clip tool output seconds
  raw "$WORK/$4.out.gif" "$WORK/out.rgb"
  read -r frames mean worst churn < <("$WORK/video_metrics" "$WORK/$1.rgb" "$WORK/out.rgb" 480 270)
  printf "| %-8s | %-30s | %10d | %6.2f | %6.2f | %6.2f | %5.2f |\n" "$1" "$2" \
    "$(stat -c %s "$WORK/$4.out.gif")" "$mean" "$worst" "$3" "$churn"
}
timed() {  # name command...: runs, leaves the wall seconds in $secs
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  t1=$(date +%s.%N)
  secs=$(echo "$t1 - $t0" | bc -l)
}

echo "| clip | tool | bytes | mean PSNR | worst PSNR | seconds | churn % |"
echo "|---|---|---|---|---|---|---|"
for clip in ${CLIPS:-colour mono screen fractal}; do
  ffmpeg -v error -y -i "$WORK/$clip.mkv" -pix_fmt rgb24 -f rawvideo "$WORK/$clip.rgb"
  png=("$WORK/$clip"/*.png)
  timed "$CLI" import "$WORK/$clip.mkv" -o "$WORK/a.out.gif"
  row "$clip" "ours (default, quality 90)" "$secs" a
  timed "$CLI" import "$WORK/$clip.mkv" -o "$WORK/b.out.gif" --quality 70
  row "$clip" "ours --quality 70" "$secs" b
  [ -z "${OURS_ONLY:-}" ] || continue
  if [ -x "$GIFSKI" ]; then
    timed "$GIFSKI" --fps 15 -o "$WORK/c.out.gif" "${png[@]}"
    row "$clip" "gifski -Q90 (default)" "$secs" c
    timed "$GIFSKI" --fps 15 --quality 70 -o "$WORK/d.out.gif" "${png[@]}"
    row "$clip" "gifski -Q70" "$secs" d
  fi
  timed ffmpeg -v error -y -i "$WORK/$clip.mkv" -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$WORK/e.out.gif"
  row "$clip" "ffmpeg palettegen/paletteuse" "$secs" e
  esecs=$secs
  timed gifsicle -O3 "$WORK/e.out.gif" -o "$WORK/f.out.gif"
  row "$clip" "ffmpeg + gifsicle -O3" "$(echo "$esecs + $secs" | bc -l)" f
  timed convert -delay 7 "${png[@]}" -layers Optimize "$WORK/g.out.gif"
  row "$clip" "ImageMagick -layers Optimize" "$secs" g
  timed "$CLI" import "$WORK/$clip.mkv" -o "$WORK/h.out.gif" --palette adaptive:8 --dither
  row "$clip" "ours --palette adaptive:8 --dither" "$secs" h
done
