#!/bin/sh
# Draws the window's artwork with ImageMagick: the 800x600 skin (133), the
# button images in their states, and the application icon (128).
# Usage: resources/artwork/make-artwork.sh  (writes beside this script)
set -eu
out=$(dirname "$0")
font=$(fc-match -f '%{file}' 'Liberation Sans:bold')
im() { convert "$@"; }
bmp() { im "$@" -type TrueColor -depth 8 "BMP3:$last"; }

# Skin: a deep blue gradient, a framed panel for the buttons and a frame round
# the preview area (179,114 318x201 dialog units, that is 269,200 478x352 px).
last="$out/133.bmp"
bmp -size 800x600 gradient:'#1b2a49'-'#0b1020' \
  -fill '#22345a' -stroke '#4a6fa5' -strokewidth 2 -draw 'roundrectangle 60,90 260,560 14,14' \
  -fill none -stroke '#6c8fc7' -strokewidth 3 -draw 'rectangle 264,195 752,557' \
  -font "$font" -pointsize 40 -fill '#e8eefc' -stroke none -annotate +290,70 'Reelsmith' \
  -pointsize 16 -fill '#9fb4da' -annotate +292,96 'photos into movies' \
  -fill '#ffb347' -draw 'circle 720,60 736,60'

# Buttons: a rounded face with its caption; pressed is darker and shifted. 161x53 on the
# panel by default; smaller ones stand on the skin's gradient above the preview.
button() { # name normal-id pressed-id colour [width height pointsize radius background inset]
  w=${5:-161} h=${6:-53} size=${7:-22} r=${8:-12} ground=${9:-'#22345a'} in=${10:-3}
  face="roundrectangle $in,$in $((w - in - 1)),$((h - in - 1)) $r,$r"
  last="$out/$2.bmp"
  bmp -size ${w}x$h xc:"$ground" -fill "$4" -stroke '#e8eefc' -strokewidth 2 \
    -draw "$face" -font "$font" -pointsize "$size" -fill white -stroke none \
    -gravity center -annotate +0+0 "$1"
  last="$out/$3.bmp"
  bmp -size ${w}x$h xc:"$ground" -fill "$4" -stroke '#ffb347' -strokewidth 3 \
    -draw "$face" -fill '#00000060' -draw "$face" \
    -font "$font" -pointsize "$size" -fill '#ffe2b8' -stroke none -gravity center -annotate +1+2 "$1"
}
button Start 132 131 '#3b6fd8'
button Play 130 129 '#2e9c6a'
button Pause 139 138 '#c77a1e'
button Animate 135 134 '#8a4fd0'
button Exit 137 136 '#b8404a'
# Settings and Sound 110x40, beside the preview; Pictures to their left.
button Settings 160 161 '#4f6b8f' 110 40 17 10 '#1a2743' 2
button Sound 162 163 '#2e8cb8' 110 40 17 10 '#1a2743' 2
button Pictures 170 171 '#2b8a9c' 110 40 17 10 '#1a2743' 2

# AUDIO 90x90: normal, pressed, disabled (grey).
square() { # id face caption-colour
  last="$out/$1.bmp"
  bmp -size 90x90 xc:'#22345a' -fill "$2" -stroke '#e8eefc' -strokewidth 2 -draw 'circle 45,45 45,4' \
    -font "$font" -pointsize 16 -fill "$3" -stroke none -gravity center -annotate +0+0 AUDIO
}
square 140 '#2e8cb8' white
square 141 '#1d5f7e' '#ffe2b8'
square 145 '#6b6f78' '#b0b3ba'

# Help 48x48: normal and pressed.
help() {
  last="$out/$1.bmp"
  bmp -size 48x48 xc:'#22345a' -fill "$2" -stroke '#e8eefc' -strokewidth 2 -draw 'circle 24,24 24,3' \
    -font "$font" -pointsize 26 -fill white -stroke none -gravity center -annotate +0+0 '?'
}
help 150 '#3b6fd8'
help 151 '#24478f'

# No sound 24x24: a cross in a circle; normal, pressed, disabled (grey).
nosound() { # id face cross
  last="$out/$1.bmp"
  bmp -size 24x24 xc:'#1a2743' -fill "$2" -stroke '#e8eefc' -strokewidth 1 -draw 'circle 12,12 12,2' \
    -stroke "$3" -strokewidth 2 -draw 'line 8,8 16,16' -draw 'line 16,8 8,16'
}
nosound 165 '#b8404a' white
nosound 166 '#7e2a31' '#ffe2b8'
nosound 167 '#3a4560' '#6b6f78'

# Icon 128: a film frame with a sun over hills.
im -size 128x128 xc:none -fill '#1b2a49' -draw 'roundrectangle 4,14 123,113 12,12' \
  -fill '#87b5ff' -draw 'rectangle 20,28 107,99' -fill '#ffb347' -draw 'circle 84,46 94,46' \
  -fill '#2e9c6a' -draw 'polygon 20,99 50,58 72,84 86,70 107,99' \
  -fill '#e8eefc' -draw 'rectangle 10,20 14,26' -draw 'rectangle 10,104 14,110' \
  -draw 'rectangle 113,20 117,26' -draw 'rectangle 113,104 117,110' "PNG32:$out/128.png"
