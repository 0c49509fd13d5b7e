#!/bin/sh
# Makes the benchmark's photographs into $1 (kept when already there): 30
# pictures of 2 to 12 megapixels, plasma clouds with grain, numbered by seed;
# and $1-300, the same 30 pictures linked ten times each.
set -eu
out=$1
if [ ! -f "$out/stamp" ]; then
  rm -rf "$out"
  mkdir -p "$out"
  sizes="1632x1224 2048x1536 2592x1944 3264x2448 4000x3000"
  seed=0
  while [ $seed -lt 30 ]; do
    size=$(echo $sizes | cut -d' ' -f$((seed % 5 + 1)))
    w=${size%x*}
    h=${size#*x}
    convert -seed $seed -size $((w / 8))x$((h / 8)) plasma:fractal -resize "${w}x${h}!" \
      -seed $seed -attenuate 0.4 +noise Gaussian -quality 90 "$out/photo$(printf %02d $seed).jpg"
    seed=$((seed + 1))
  done
  touch "$out/stamp"
fi
rm -rf "$out-300"
mkdir -p "$out-300"
for copy in 0 1 2 3 4 5 6 7 8 9; do
  for photo in "$out"/*.jpg; do
    ln -s "$photo" "$out-300/$copy-$(basename "$photo")"
  done
done
