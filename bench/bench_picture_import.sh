#!/usr/bin/env bash
# Importing 200-frame animations (APNG and animated WebP) into a GIF beside the peers' conversion of the
# same files to GIF: ffmpeg's default (a fixed 8-bit palette, no palette search), its two-pass
# palettegen/paletteuse, and ImageMagick's convert. Processor time (user + system) and output bytes, best
# of 3. Debian's ffmpeg (5.1) cannot decode animated WebP: its columns say so.
#   bench/bench_picture_import.sh [CLI] [SIZE]     (default build/loopwright-cli, 400x300)
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=${1:-build/loopwright-cli}
SIZE=${2:-400x300}
[ -x "$CLI" ] || { echo "build $CLI first" >&2; exit 2; }
# ImageMagick 6 itself (Debian's convert is a link to it).
IM=$(command -v convert-im6.q16 || command -v convert)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Two sources: ffmpeg's test card (a few hundred colours per frame: the high-colour path) and a cartoon
# of flat colours (18 colours: the exact path).
ffmpeg -v error -f lavfi -i "testsrc2=size=$SIZE:rate=25" -frames:v 200 -plays 0 -f apng "$WORK/card.apng"
ffmpeg -v error -f lavfi -i "testsrc=size=$SIZE:rate=25" -frames:v 200 -vf "format=rgb24,lutrgb=r='floor(val/64)*64':g='floor(val/64)*64':b='floor(val/64)*64'" \
  -plays 0 -f apng "$WORK/flat.apng"
for name in card flat; do
  mkdir -p "$WORK/$name"
  ffmpeg -v error -i "$WORK/$name.apng" "$WORK/$name/f%03d.png"
  args=()
  for f in "$WORK/$name"/f*.png; do args+=(-d 40 "$f"); done
  img2webp -lossless "${args[@]}" -o "$WORK/$name.webp" 2>/dev/null
done

# Best of 3 processor seconds of a command.
cpu() {
  local best=""
  for _ in 1 2 3; do
    local t
    if ! /usr/bin/time -f "%U %S" -o "$WORK/time" "$@" >/dev/null 2>&1; then
      echo fails
      return
    fi
    t=$(tail -1 "$WORK/time" | awk '{print $1 + $2}')
    if [ -z "$best" ] || (( $(echo "$t < $best" | bc) )); then best=$t; fi
  done
  echo "$best"
}

size() { [ -s "$1" ] && stat -c %s "$1" || echo -; }
printf "%-11s | %-18s | %-18s | %-18s | %-18s | %-18s\n" input "ours (default)" "ours (adaptive)" \
  "ffmpeg default" "ffmpeg palettegen" "ImageMagick"
for name in card flat; do
  for ext in apng webp; do
    in="$WORK/$name.$ext"
    rm -f "$WORK"/*.gif
    t_clip=$(cpu "$CLI" import "$in" -o "$WORK/clip.gif")
    t_ours=$(cpu "$CLI" import "$in" -o "$WORK/ours.gif" --palette adaptive)
    t_ff=$(cpu ffmpeg -v error -y -i "$in" "$WORK/ff.gif")
    t_pg=$(cpu ffmpeg -v error -y -i "$in" -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$WORK/pg.gif")
    # NO_MAGICK=1 leaves ImageMagick out (it takes half a minute a WebP).
    if [ -n "${NO_MAGICK:-}" ]; then t_im=skipped; else t_im=$(cpu "$IM" "$in" "$WORK/im.gif"); fi
    printf "%-11s | %5s s %9s B | %5s s %9s B | %5s s %9s B | %5s s %9s B | %5s s %9s B\n" "$name.$ext" \
      "$t_clip" "$(size "$WORK/clip.gif")" "$t_ours" "$(size "$WORK/ours.gif")" "$t_ff" "$(size "$WORK/ff.gif")" \
      "$t_pg" "$(size "$WORK/pg.gif")" "$t_im" "$(size "$WORK/im.gif")"
  done
done
