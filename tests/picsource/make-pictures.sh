#!/bin/sh
# Makes the picture folders the picture source tests read, into $1.
# Deterministic: ImageMagick's plasma with fixed seeds, gradients, and cjpeg.
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out/fit" "$out/photos/d.jpg" "$out/exact" "$out/grey" "$out/broken" "$out/cmyk" "$out/tiny" "$out/empty" "$out/rgb" "$out/layouts" "$out/show" "$out/showbroken" "$out/showwide"

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

# Quadrant pictures, red top-left, green top-right, blue bottom-left, white
# bottom-right when upright, landscape (256x192) and portrait (192x256), stored as
# each Exif orientation 1..8 expects (ImageMagick turns them; the tests add the tag).
# Quadrant sides are multiples of 16, so chroma blocks do not straddle colours.
quadrants() {
  convert -size "$1" xc:red xc:lime +append \( -size "$1" xc:blue xc:white +append \) -append ppm:-
}
store() { # upright ppm on stdin, Exif orientation, output
  case $1 in
    1) turn= ;; 2) turn=-flop ;; 3) turn="-rotate 180" ;; 4) turn=-flip ;;
    5) turn=-transpose ;; 6) turn="-rotate 270" ;; 7) turn=-transverse ;; 8) turn="-rotate 90" ;;
  esac
  # shellcheck disable=SC2086
  convert ppm:- $turn -sampling-factor 1x1 -quality 95 "$2"
}
for n in 1 2 3 4 5 6 7 8; do
  quadrants 128x96 | store "$n" "$out/fit/landscape-$n.jpg"
  quadrants 96x128 | store "$n" "$out/fit/portrait-$n.jpg"
done

# A photograph-like picture and ImageMagick's area average of djpeg's full decode
# (-scale mixes the covered pixels by their areas), shrinking by 3.2 and 2.7.
plasma 71 640x480 "$out/fit/plasma.jpg"
djpeg -ppm -outfile "$out/fit/plasma.ppm" "$out/fit/plasma.jpg"
convert "$out/fit/plasma.ppm" -scale '200x150!' "$out/fit/plasma-200x150.ppm"
convert "$out/fit/plasma.ppm" -scale '237x178!' "$out/fit/plasma-237x178.ppm"

# One of each layout the decoder takes a different road for, at sizes that are no
# multiple of an MCU: interleaved 4:2:0, 4:2:2 and 4:4:4, one scan per component,
# progressive with restarts, grey, R G B coded, an eighth-size-friendly photograph,
# and broken ones between them.
lay=$out/layouts
convert -seed 81 -size 333x211 plasma:fractal "$lay/p.ppm"
cjpeg -sample 2x2 -outfile "$lay/01-420.jpg" "$lay/p.ppm"
cjpeg -sample 2x1 -restart 2 -outfile "$lay/02-422.jpg" "$lay/p.ppm"
cjpeg -sample 1x1 -outfile "$lay/03-444.jpg" "$lay/p.ppm"
printf '0;\n1;\n2;\n' > "$lay/scans.txt"
cjpeg -scans "$lay/scans.txt" -outfile "$lay/04-per-component.jpg" "$lay/p.ppm"
printf '0,1,2: 0 0 0 1;\n0: 1 5 0 2;\n2: 1 63 0 1;\n1: 1 63 0 1;\n0: 6 63 0 2;\n0: 1 63 2 1;\n0,1,2: 0 0 1 0;\n2: 1 63 1 0;\n1: 1 63 1 0;\n0: 1 63 1 0;\n' > "$lay/progressive.txt"
cjpeg -progressive -scans "$lay/progressive.txt" -restart 3 -outfile "$lay/05-progressive.jpg" "$lay/p.ppm"
cjpeg -progressive -sample 1x1 -outfile "$lay/06-progressive-444.jpg" "$lay/p.ppm"
convert "$lay/p.ppm" -colorspace Gray ppm:- | cjpeg -grayscale -outfile "$lay/07-grey.jpg"
convert "$lay/p.ppm" -colorspace Gray ppm:- | cjpeg -grayscale -progressive -outfile "$lay/08-grey-progressive.jpg"
cjpeg -rgb -outfile "$lay/09-rgb.jpg" "$lay/p.ppm"
head -c 4000 "$lay/05-progressive.jpg" > "$lay/10-truncated-progressive.jpg"
head -c 6000 "$lay/01-420.jpg" > "$lay/11-truncated.jpg"
echo "no JPEG" > "$lay/12-text.jpg"
plasma 82 1201x803 "$lay/13-photo.jpg"
rm "$lay/p.ppm" "$lay/scans.txt" "$lay/progressive.txt"

# Flat colours for the slide show's frames, a picture that cannot be read between
# two that can, and a wide one that leaves borders in a 4:3 frame.
flat() { convert -size "$1" "xc:$2" -sampling-factor 1x1 -quality 95 "$3"; }
flat 320x240 '#C83214' "$out/show/1.jpg"
flat 320x240 '#1464C8' "$out/show/2.jpg"
flat 320x240 '#32B450' "$out/show/3.jpg"
cp "$out/show/1.jpg" "$out/showbroken/1.jpg"
echo "no JPEG" > "$out/showbroken/2.jpg"
cp "$out/show/3.jpg" "$out/showbroken/3.jpg"
flat 320x120 '#C8A050' "$out/showwide/w.jpg"
