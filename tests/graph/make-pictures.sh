#!/bin/sh
# Makes the pictures the graph tests stream, into $1: five plasma pictures, and
# in $1/sequence 24 plain grey ones (8, 16, ... 192) that a test tells apart
# by their colour.
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out/sequence"
for seed in 1 2 3 4 5; do
  convert -seed "$seed" -size 64x48 plasma:fractal -quality 90 "$out/picture$seed.jpg"
done
for index in $(seq 0 23); do
  grey=$((8 + 8 * index))
  convert -size 64x48 "xc:rgb($grey,$grey,$grey)" -quality 90 "$out/sequence/$(printf 'grey%02d' "$index").jpg"
done
