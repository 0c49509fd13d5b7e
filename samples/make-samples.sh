#!/bin/sh
# Makes the sample pictures and sound in this folder: five small photographs
# of plasma clouds and a two-second chord. Same seeds, same files.
set -eu
cd "$(dirname "$0")"
for seed in 1 2 3 4 5; do
  convert -seed "$seed" -size 320x240 plasma:fractal -strip -quality 85 "sample$seed.jpg"
done
sox -q -R -D -n -r 22050 -c 2 -b 16 chord.wav synth 2 sine 440 sine 554 fade 0.1 2 0.5
