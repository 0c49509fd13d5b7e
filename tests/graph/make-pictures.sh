#!/bin/sh
# Makes the five pictures the graph tests stream, into $1.
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out"
for seed in 1 2 3 4 5; do
  convert -seed "$seed" -size 64x48 plasma:fractal -quality 90 "$out/picture$seed.jpg"
done
