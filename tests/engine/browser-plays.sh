#!/usr/bin/env bash
# A real browser plays what reelsmith-make writes: headless Chromium loads a page
# with a <video> element, plays a second of each movie and reports its readyState
# and error. A .wmv, which browsers cannot open, must fail the same check, so the
# check can tell the two apart.
# Usage: browser-plays.sh REELSMITH_MAKE REGSVR LIBXTPPIC SAMPLES_DIR PAGE
set -uo pipefail
make=$1 regsvr=$2 library=$3 samples=$4 page=$5
work=$(mktemp -d /tmp/reelsmith-browser-XXXXXX)
trap 'rm -rf "$work"' EXIT
export REELSMITH_REGISTRY=$work/registry.reg SDL_AUDIODRIVER=dummy
"$regsvr" "$library" >/dev/null || exit 1
cp "$page" "$work/play.html"
cd "$work" || exit 1
printf '[Screen]\nwidth=640\nheight=480\nFrameSpeed=500\nQuality=400000\n[System]\nWorkThreadPriority=0\n' >config.ini
for movie in movie.mp4 movie.webm movie.wmv; do
  "$make" --audio "$samples/chord.wav" "$samples" "$movie" 2>>make.log || { cat make.log; exit 1; }
done
"$make" --fps 25 "$samples" constant.mp4 2>>make.log || { cat make.log; exit 1; }

# The page's report on the movie $1, or nothing when the browser gave none in 30 s.
report() {
  local log=$work/$1.log
  # In a session of its own, so that its helper processes end with it.
  setsid chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$(mktemp -d "$work/profile-XXXXXX")" \
    --autoplay-policy=no-user-gesture-required --allow-file-access-from-files --enable-logging=stderr --v=0 \
    "file://$work/play.html?file=$1" >/dev/null 2>"$log" &
  local browser=$!
  for _ in $(seq 300); do
    grep -aq 'RESULT {' "$log" && break
    sleep 0.1
  done
  kill -- "-$browser" 2>/dev/null
  wait "$browser" 2>/dev/null
  for _ in $(seq 50); do
    pgrep -s "$browser" >/dev/null || break
    sleep 0.1
  done
  grep -ao -m1 'RESULT {[^}]*}' "$log" | sed 's/^RESULT //'
}

passed=0 failed=0
check() { # name, whether it must play
  local result
  result=$(report "$1")
  local played=no
  [[ $result == *'"outcome":"played"'* && $result =~ \"readyState\":[234] && $result == *'"error":null'* ]] && played=yes
  if [[ $played == "$2" ]]; then
    passed=$((passed + 1))
    echo "ok: $1 played=$played $result"
  else
    failed=$((failed + 1))
    echo "FAILED: $1 played=$played, expected $2: ${result:-no report}"
  fi
}
check movie.mp4 yes
check movie.webm yes
check constant.mp4 yes
check movie.wmv no
echo "$passed passed, $failed failed"
((failed == 0))
