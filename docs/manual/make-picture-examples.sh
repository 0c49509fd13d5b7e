#!/bin/sh
# Makes the manual's before/after pictures of the [Picture] settings with the real
# reelsmith-make: picture-fit.png (a phone's portrait photo, stored sideways with Exif
# orientation 6, in a 640x360 movie: as it was, upright letterboxed, upright cropped)
# and picture-scaling.png (a detail of a large photo shrunk into 640x360 by nearest
# neighbour and smoothly, enlarged three times). Any landscape photograph of at least
# 1600x1200 will do; the manual's come from Debian's mate-backgrounds (nature/Dune.jpg
# and nature/Aqua.jpg).
# Usage: docs/manual/make-picture-examples.sh BUILD-DIR PORTRAIT-SOURCE.jpg DETAILED.jpg
set -eu
build=$(cd "${1:?usage: $0 BUILD-DIR PORTRAIT-SOURCE.jpg DETAILED.jpg}" && pwd)
manual=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export REELSMITH_REGISTRY="$work/registry.reg" SDL_AUDIODRIVER=dummy
"$build/bin/regsvr" "$build/lib/libXTPPic.so" >/dev/null

# The phone stores the portrait turned a quarter anticlockwise and tags it 6: an
# APP1 "Exif" segment with a big-endian TIFF directory holding only the orientation.
mkdir "$work/phone" "$work/detail"
convert "$2" -gravity center -crop 3:4 +repage -resize 900x1200 -rotate 270 -quality 92 "$work/stored.jpg"
{
  head -c 2 "$work/stored.jpg"
  printf '\377\341\000\042Exif\000\000MM\000\052\000\000\000\010\000\001\001\022\000\003\000\000\000\001\000\006\000\000\000\000\000\000'
  tail -c +3 "$work/stored.jpg"
} > "$work/phone/portrait.jpg"
cp "$3" "$work/detail/photo.jpg"
printf '[Screen]\nwidth=640\nheight=360\nFrameSpeed=1000\nQuality=20000000\n[System]\nWorkThreadPriority=0\n' \
  > "$work/config.ini"

frame() { # folder, name, options...
  folder=$1 name=$2
  shift 2
  (cd "$work" && "$build/bin/reelsmith-make" "$@" "$folder" "$name.wmv" 2>/dev/null)
  ffmpeg -v error -y -i "$work/$name.wmv" -frames:v 1 "$work/$name.png"
}
frame phone before
frame phone letterbox --orientation exif --fit letterbox --smooth
frame phone crop --orientation exif --fit crop --smooth
montage -label 'default (as stored, stretched)' "$work/before.png" \
  -label 'Orientation=exif  Fit=letterbox' "$work/letterbox.png" \
  -label 'Orientation=exif  Fit=crop' "$work/crop.png" \
  -tile 3x1 -geometry 320x180+6+6 -font Liberation-Sans -pointsize 14 -depth 8 "$manual/picture-fit.png"

frame detail nearest
frame detail smooth --smooth
for name in nearest smooth; do
  convert "$work/$name.png" -gravity center -crop 200x112+0+0 +repage -scale 300% "$work/$name-zoom.png"
done
montage -label 'Scaling=nearest (default)' "$work/nearest-zoom.png" -label 'Scaling=smooth' "$work/smooth-zoom.png" \
  -tile 2x1 -geometry 480x270+6+6 -font Liberation-Sans -pointsize 14 -depth 8 "$manual/picture-scaling.png"
