#!/bin/sh
# Makes the picture folders the picture source tests read, into $1.
# Deterministic: ImageMagick's plasma with fixed seeds, gradients, and cjpeg.
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out/photos/d.jpg" "$out/exact" "$out/grey" "$out/broken" "$out/cmyk" "$out/tiny" "$out/empty" "$out/rgb"

plasma() { convert -seed "$1" -size "$2" plasma:fractal -quality 90 "$3"; }

# Sizes whose ratios to 320x240 are exact binary fractions (2, 1/2, 5/4).
plasma 11 640x480 "$out/photos/a.jpg"
plasma 12 160x120 "$out/photos/B.JPG"
plasma 13 400x300 "$out/photos/c.Jpg"
plasma 14 64x48 "$out/photos/d.jpg/inside.jpg"
echo "not a picture" > "$out/photos/notes.txt"

# Red top-left, green top-right, blue bottom-left, white bottom-right: shows the
# channel order and the row order of a frame.
convert -size 160x120 xc:red xc:lime +append \( -size 160x120 xc:blue xc:white +append \) -append \
  -quality 95 "$out/exact/e.jpg"
djpeg -ppm -outfile "$out/exact/e.ppm" "$out/exact/e.jpg"

convert -seed 21 -size 160x120 plasma:fractal -colorspace Gray ppm:- | cjpeg -grayscale -outfile "$out/grey/g.jpg"

plasma 31 64x48 "$out/broken/1.jpg"
echo "this is no JPEG" > "$out/broken/2.jpg"
plasma 32 64x48 "$out/broken/3.jpg"

plasma 41 64x48 "$out/cmyk/1.jpg"
plasma 42 64x48 ppm:- | convert ppm:- -colorspace CMYK "$out/cmyk/2.jpg"
plasma 43 64x48 "$out/cmyk/3.jpg"

plasma 51 64x48 "$out/tiny/1.jpg"
plasma 52 64x48 "$out/tiny/2.jpg"
plasma 53 64x48 "$out/tiny/3.jpg"

echo "nothing here" > "$out/empty/readme.txt"

# R, G and B coded directly (Adobe transform 0), with djpeg's decode beside it.
plasma 61 64x48 ppm:- | cjpeg -rgb -quality 95 -outfile "$out/rgb/r.jpg"
djpeg -ppm -outfile "$out/rgb/r.ppm" "$out/rgb/r.jpg"
