#!/bin/sh
# Resize of an optimized 200-frame 800 x 600 animation to 50 %: loopwright-cli resize (Lanczos in linear
# light, then each frame mapped onto its palette and the animation optimized again) beside ImageMagick's
# -coalesce -resize 50% -layers Optimize. Wall and processor seconds, and bytes, best of ROUNDS runs.
# usage: bench/bench_resize.sh PATH/TO/loopwright-cli [ROUNDS]
set -eu
cli=$1
rounds=${2:-3}
magick=/usr/bin/convert
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# A moving test card, written by ffmpeg as an optimized GIF (frames cut to what changes, transparency).
ffmpeg -v error -f lavfi -i testsrc2=size=800x600:rate=25:duration=8 -frames:v 200 \
  -vf "split[a][b];[a]palettegen=max_colors=255[p];[b][p]paletteuse=dither=none" "$dir/in.gif"
echo "input: $(stat -c %s "$dir/in.gif") bytes, $(identify "$dir/in.gif" | wc -l) frames"
run() { # name, command...
  name=$1
  shift
  best=""
  for _ in $(seq "$rounds"); do
    /usr/bin/time -f "%e %U %S" -o "$dir/time" "$@" >/dev/null 2>&1
    t=$(awk '{printf "%.2f %.2f", $1, $2 + $3}' "$dir/time")
    wall=${t% *}
    if [ -z "$best" ] || [ "$(echo "$wall < ${best% *}" | bc)" = 1 ]; then best="$wall $(echo "$t" | cut -d' ' -f2)"; fi
  done
  echo "$name ${best% *} ${best#* }"
}
printf '%-12s %8s %8s %10s\n' tool wall_s cpu_s bytes
ours=$(run loopwright "$cli" resize "$dir/in.gif" -o "$dir/ours.gif" --scale 50)
theirs=$(run imagemagick "$magick" "$dir/in.gif" -coalesce -resize 50% -layers Optimize "$dir/im.gif")
echo "$ours" | awk -v b="$(stat -c %s "$dir/ours.gif")" '{printf "%-12s %8s %8s %10s\n", $1, $2, $3, b}'
echo "$theirs" | awk -v b="$(stat -c %s "$dir/im.gif")" '{printf "%-12s %8s %8s %10s\n", $1, $2, $3, b}'
