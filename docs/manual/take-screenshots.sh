#!/bin/sh
# Photographs each step of the real window under Xvfb into docs/manual/*.png, clicking
# through it with xdotool as a user would: the window, the folder chooser, the count
# message, the preview, the save chooser, a movie being made, the finished message, the
# skipped pictures, playback, the settings dialog, a sound chosen, the pictures dialog and
# the exit question. Each shot is the 800x600 window, the pictures dialog's its own window.
# Usage: docs/manual/take-screenshots.sh BUILD-DIR
set -eu
build=$(cd "${1:?usage: $0 BUILD-DIR}" && pwd)
manual=$(cd "$(dirname "$0")" && pwd)
samples=$(cd "$manual/../../samples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The pictures: the samples, a damaged one among them, and a folder long enough to
# photograph a movie while it is made.
mkdir "$work/photos" "$work/many"
cp "$samples"/sample*.jpg "$work/photos/"
head -c 2000 "$samples/sample3.jpg" > "$work/photos/sample3b-damaged.jpg"
i=0
while [ $i -lt 1500 ]; do
  ln -s "$samples/sample$((i % 5 + 1)).jpg" "$work/many/$(printf %03d $i).jpg"
  i=$((i + 1))
done
printf '[Screen]\nwidth=640\nheight=480\nFrameSpeed=1500\nQuality=400000\n[System]\nWorkThreadPriority=0\n' \
  > "$work/config.ini"
# The tour registers into a registry of its own, whatever the machine has registered.
export REELSMITH_REGISTRY="$work/registry.reg" REELSMITH_MACHINE_REGISTRY="$work/machine.reg"
"$build/bin/regsvr" "$build/lib/libXTPPic.so" >/dev/null

cat > "$work/tour.sh" <<TOUR
#!/bin/sh
set -eu
cd "$work"
shot() { sleep \${2:-1.5}; import -window root "$work/\$1-full.png"; }
click() { xdotool mousemove \$1 \$2 click 1; }
# The window stands centred on the 1024x768 screen, at 112,84.
start="272 310"; play="272 401"; animate="272 493"; exit="272 584"
settings="691 140"; sound="809 140"; pictures="437 140"
SDL_AUDIODRIVER=dummy "$build/bin/reelsmith" & window=\$!
shot main-window 3
click \$start; shot choose-folder
xdotool type --delay 10 "$work/photos"; xdotool key Return; shot loaded
xdotool key Return; shot preview
click \$play; shot playing 2
click \$play; sleep 0.5
click \$start; sleep 1.5
xdotool type --delay 10 "$work/many"; xdotool key Return; sleep 1.5; xdotool key Return
click \$animate; shot save-movie
xdotool type --delay 10 "movie"; xdotool key Return; shot making 2
while [ ! -f movie.wmv ]; do sleep 0.5; done
shot finished 1
xdotool key Return; sleep 1
click \$start; sleep 1.5
xdotool type --delay 10 "$work/photos"; xdotool key Return; sleep 1.5; xdotool key Return
click \$animate; sleep 1.5
xdotool type --delay 10 "second"; xdotool key Return; sleep 3; xdotool key Return; shot skipped
xdotool key Return
# The settings dialog, its size moved on to the next preset, then left with Cancel.
click \$settings; sleep 1.5; xdotool key Down; shot settings
xdotool key Escape; sleep 1
click \$sound; sleep 1.5
xdotool type --delay 10 "$samples/chord.wav"; xdotool key Return; shot sound
# The pictures dialog, photographed as its own window: its thumbnails with the damaged
# picture marked, then sample5 dragged first and the damaged one unticked.
click \$pictures; sleep 3
dialog=\$(xdotool search --name '写真の並び' | head -1)
eval "\$(xdotool getwindowgeometry --shell \$dialog)"
import -window \$dialog "$work/pictures.png"
xdotool mousemove \$((X + 251)) \$((Y + 272)) mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove \$((X + 251 - step * 17)) \$((Y + 272 - step * 15)); sleep 0.05
done
import -window \$dialog "$work/pictures-dragging.png"
xdotool mouseup 1; sleep 0.5
xdotool mousemove \$((X + 25)) \$((Y + 279)) click 1
import -window \$dialog "$work/pictures-arranged.png"
xdotool key Return; shot pictures-chosen
click \$exit; shot exit
kill \$window
TOUR
xvfb-run -a -s "-screen 0 1024x768x24" sh "$work/tour.sh"
for shot in main-window choose-folder loaded preview playing save-movie making finished skipped settings sound \
  pictures-chosen exit; do
  convert "$work/$shot-full.png" -crop 800x600+112+84 +repage "$manual/$shot.png"
done
for shot in pictures pictures-dragging pictures-arranged; do cp "$work/$shot.png" "$manual/$shot.png"; done
size=$(identify -format '%wx%h' "$manual/main-window.png")
[ "$size" = 800x600 ] || { echo "screenshot is $size, not 800x600" >&2; exit 1; }
echo "$manual: screenshots taken"
