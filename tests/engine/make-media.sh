#!/bin/sh
# Makes the engine tests' media into $1: folders of pictures and sound files.
#   mixed/    six small pictures: 4:2:0, 4:2:2, 4:4:4, grey, progressive, odd size
#   broken/   three pictures with an unreadable one in the middle
#   second/   two other pictures
#   large/    one 12-megapixel picture
#   empty/    no pictures
#   short.wav 0.7 s, long.mp3 9 s, video.avi video only
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out/mixed" "$out/broken" "$out/second" "$out/large" "$out/empty"
convert -seed 1 -size 96x72 plasma:fractal -sampling-factor 2x2 "$out/mixed/a420.jpg"
convert -seed 2 -size 96x72 plasma:fractal -sampling-factor 2x1 "$out/mixed/b422.jpg"
convert -seed 3 -size 96x72 plasma:fractal -sampling-factor 1x1 "$out/mixed/c444.jpg"
convert -seed 4 -size 96x72 plasma:fractal -colorspace Gray "$out/mixed/d-grey.jpg"
convert -seed 5 -size 96x72 plasma:fractal -interlace JPEG "$out/mixed/e-progressive.jpg"
convert -seed 6 -size 37x23 plasma:fractal "$out/mixed/F-ODD.JPG"
cp "$out/mixed/a420.jpg" "$out/broken/1.jpg"
head -c 300 "$out/mixed/b422.jpg" > "$out/broken/2.jpg"
cp "$out/mixed/c444.jpg" "$out/broken/3.jpg"
cp "$out/mixed/d-grey.jpg" "$out/second/x.jpg"
cp "$out/mixed/e-progressive.jpg" "$out/second/y.jpg"
convert -size 4000x3000 gradient:navy-orange -quality 80 "$out/large/big.jpg"
sox -q -R -D -n -r 22050 -c 2 -b 16 "$out/short.wav" synth 0.7 sine 330
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=9" -ac 2 -c:a libmp3lame -b:a 64k "$out/long.mp3"
ffmpeg -v error -f lavfi -i "testsrc=size=64x48:rate=10:duration=1" -c:v mpeg4 "$out/video.avi"
