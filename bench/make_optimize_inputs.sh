#!/usr/bin/env bash
# Makes the inputs of bench_optimize: the animations of the test corpus and GIFs made by ffmpeg (which
# already cuts frames to their changes, and with paletteuse=new=1 gives every frame a local palette).
#   bench/make_optimize_inputs.sh [OUT_DIR]    (default: build/bench-inputs/optimize)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$ROOT/build/bench-inputs/optimize}
mkdir -p "$OUT"

for f in anim-gr beacon fire gifplayer-muybridge moon_impact sample_big welcome2; do
  if [ -f "$ROOT/tests/data/gif/$f.gif" ]; then
    cp "$ROOT/tests/data/gif/$f.gif" "$OUT/"
  elif [ -f "/work/shared/corpus/gif/$f.gif" ]; then
    cp "/work/shared/corpus/gif/$f.gif" "$OUT/"
  fi
done

ff() {  # NAME SECONDS SOURCE [FILTER]
  local name=$1 seconds=$2 src=$3 filter=${4:-}
  [ -s "$OUT/$name.gif" ] && return
  if [ -n "$filter" ]; then
    ffmpeg -loglevel error -y -f lavfi -t "$seconds" -i "$src" -vf "$filter" "$OUT/$name.gif"
  else
    ffmpeg -loglevel error -y -f lavfi -t "$seconds" -i "$src" "$OUT/$name.gif"
  fi
}
LOCAL="split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1"
ff ff-testsrc 3 "testsrc=size=200x150:rate=10"
ff ff-life 4 "life=size=160x120:rate=15:mold=10:ratio=0.2:death_color=#202060:life_color=#f0d040"
ff ff-sierpinski 3 "sierpinski=size=160x160:rate=10"
ff ff-cellauto 3 "cellauto=size=160x100:rate=20:rule=110"
ff ff-testsrc2-local 3 "testsrc2=size=200x150:rate=10" "$LOCAL"
ff ff-mandelbrot-local 3 "mandelbrot=size=160x120:rate=10" "$LOCAL"
ff ff-smptebars-local 2 "smptebars=size=160x120:rate=10,drawbox=x=t*40:y=40:w=20:h=20:color=red@1:t=fill" "$LOCAL"
# A sprite on a transparent background: frames must clear what the previous one drew.
ff ff-life-transparent 3 "life=size=120x90:rate=10:mold=0:death_color=black:life_color=#30c030" \
  "format=rgba,colorkey=black:0.01:0,split[a][b];[a]palettegen=reserve_transparent=1[p];[b][p]paletteuse=alpha_threshold=128"
# Two larger clips written by ffmpeg with only its own frame differencing: a game of life and a test card
# whose moving parts sit in a few bands.
[ -s "$OUT/life.gif" ] || ffmpeg -loglevel error -y -f lavfi \
  -i "life=size=400x300:rate=20:mold=10:ratio=0.1:death_color=#C83232:life_color=#00ff00:seed=7" -frames:v 200 \
  -gifflags -offsetting-transdiff "$OUT/life.gif"
[ -s "$OUT/testsrc.gif" ] || ffmpeg -loglevel error -y -f lavfi -i testsrc=size=800x600:rate=10:duration=20 \
  -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse=dither=none" -gifflags -offsetting-transdiff "$OUT/testsrc.gif"
ls -l "$OUT"
