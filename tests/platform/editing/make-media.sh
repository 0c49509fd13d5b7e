#!/bin/sh
# Makes the media files the editing tests read, into $1: a picture whose top
# half is red and bottom half blue, sounds made with sox (WAV and MP3, one of
# them without any sample), and a text file.
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out"
convert -size 80x30 xc:red xc:blue -append "$out/halves.jpg"
sox -n -r 22050 -c 1 -b 16 "$out/tone.wav" synth 1.5 sine 440
sox -n -r 44100 -c 2 "$out/tone.mp3" synth 2 sine 440
sox -n -r 44100 -c 2 -b 16 "$out/empty.wav" trim 0 0
printf 'Not a sound, not a picture.\n' > "$out/notes.txt"
