#!/bin/sh
# Resize of an optimized 200-frame 800 x 600 animation to 50 %: loopwright-cli resize (Lanczos in linear
# light, then each frame mapped onto its palette and the animation optimized again) beside ImageMagick's
# -coalesce -resize 50% -layers Optimize. Wall and processor seconds, and bytes, best of ROUNDS runs, and the
# mean and worst-frame PSNR of the composed frames against ffmpeg's Lanczos resize of the input.
# usage: bench/bench_resize.sh PATH/TO/loopwright-cli [ROUNDS]   (run from the repository's top folder)
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
g++ -O2 -o "$dir/video_metrics" bench/video_metrics.cpp
ffmpeg -v error -i "$dir/in.gif" -vf scale=400:300:flags=lanczos -f rawvideo -pix_fmt rgb24 "$dir/ref.rgb"
psnr() { # GIF -> "mean worst"
  ffmpeg -nostdin -v error -y -i "$1" -f rawvideo -pix_fmt rgb24 "$dir/out.rgb"
  "$dir/video_metrics" "$dir/ref.rgb" "$dir/out.rgb" 400 300 | awk '{printf "%.2f %.2f", $2, $3}'
}
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
printf '%-18s %8s %8s %10s %8s %8s\n' tool wall_s cpu_s bytes mean_dB worst_dB
report() { # name+times, GIF
  echo "$1" | awk -v b="$(stat -c %s "$2")" -v p="$(psnr "$2")" \
    '{split(p, q, " "); printf "%-18s %8s %8s %10s %8s %8s\n", $1, $2, $3, b, q[1], q[2]}'
}
report "$(run loopwright "$cli" resize "$dir/in.gif" -o "$dir/ours.gif" --scale 50)" "$dir/ours.gif"
report "$(run loopwright-lossy40 "$cli" resize "$dir/in.gif" -o "$dir/lossy.gif" --scale 50 --lossy=40)" "$dir/lossy.gif"
report "$(run imagemagick "$magick" "$dir/in.gif" -coalesce -resize 50% -layers Optimize "$dir/im.gif")" "$dir/im.gif"
