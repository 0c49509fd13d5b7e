#!/bin/sh
# Makes 30 phone-sized photographs (4000x3000, 12 megapixels) into $1 (kept when
# already there). The sources are the real photographs of
# /usr/share/backgrounds/mate/nature when present (1280x1024 to 2560x1920, taken
# in turn), else the benchmark's plasma pictures of $2: each is enlarged to cover
# 4000x3000 and cut to it, then given the sensor grain a phone leaves at that size
# (Gaussian noise), and saved as a camera does (4:2:0, quality 92).
set -eu
out=$1
fallback=$2
if [ -f "$out/stamp" ]; then exit 0; fi
rm -rf "$out"
mkdir -p "$out"
set -- /usr/share/backgrounds/mate/nature/*.jpg
if [ ! -f "$1" ]; then
  echo "make-phone-photos: no photographs in /usr/share/backgrounds/mate/nature; enlarging the plasma pictures" >&2
  set -- "$fallback"/*.jpg
fi
count=$#
seed=0
while [ $seed -lt 30 ]; do
  index=$((seed % count + 1))
  eval source=\${$index}
  convert "$source" -resize "4000x3000^" -gravity center -extent 4000x3000 \
    -seed $seed -attenuate 0.25 +noise Gaussian -sampling-factor 2x2 -quality 92 "$out/phone$(printf %02d $seed).jpg"
  seed=$((seed + 1))
done
touch "$out/stamp"
