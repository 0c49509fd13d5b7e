#!/bin/sh
# Photographs the real window under Xvfb into docs/manual/main-window.png and
# checks it: 800x600, and the skin's colour where no control covers it.
# Usage: docs/manual/take-screenshot.sh BUILD-DIR   (XTPPic registered, or engine errors show)
set -eu
build=${1:?usage: $0 BUILD-DIR}
out=$(cd "$(dirname "$0")" && pwd)/main-window.png
shot=$(mktemp --suffix=.png)
SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} xvfb-run -a -s "-screen 0 1024x768x24" sh -c \
  "\"$build/bin/reelsmith\" & p=\$!; sleep 4; import -window root \"$shot\"; kill \$p"
# The window is centred on the 1024x768 screen.
convert "$shot" -crop 800x600+112+84 +repage "$out"
rm -f "$shot"
size=$(identify -format '%wx%h' "$out")
[ "$size" = 800x600 ] || { echo "screenshot is $size, not 800x600" >&2; exit 1; }
skin=$(convert resources/artwork/133.bmp -format '%[pixel:p{20,20}]' info:)
seen=$(convert "$out" -format '%[pixel:p{20,20}]' info:)
[ "$skin" = "$seen" ] || { echo "skin not seen: $seen instead of $skin" >&2; exit 1; }
echo "$out: $size, skin $seen"
