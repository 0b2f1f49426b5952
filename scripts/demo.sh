#!/usr/bin/env bash
# Plays the built-in sample disc image: a small DVD-Video image made from generated pictures
# (two titles, the first with three chapters), opened the way a user opens an .iso.
#   With a DISPLAY the player opens there and the script waits until it is closed.
#   Without one it runs on a private Xvfb, lets the disc play for a while, saves a
#   screenshot to build/demo.png and closes the player again.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
source scripts/test-env.sh

media="$top/build/testmedia"
bash tests/media/make-media.sh "$media" >/dev/null
sample="$top/build/sample.iso"
cp -f "$media/dvd.iso" "$sample"
sample_win="Z:${sample//\//\\}"

if [[ -n "${DISPLAY:-}" ]]; then
    export WINEDEBUG=-all
    echo "Playing $sample; close the player's window to end."
    wine "$top/build/velloran.exe.so" "$sample_win" 2>&1 | filter_wine
    exit 0
fi

start_test_env
trap stop_test_env EXIT
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
sleep 1
wine "$top/build/velloran.exe.so" "$sample_win" >/dev/null 2>&1 &
player=$!
caption=""
for _ in $(seq 60); do
    caption=$(xdotool search --onlyvisible --name '^Velloran' getwindowname 2>/dev/null | head -1 || true)
    [[ "$caption" == *" - "* ]] && break
    sleep 0.5
done
sleep 4
import -window root "$top/build/demo.png"
echo "Caption: ${caption:-<no window>}"
echo "Screenshot: $top/build/demo.png"
# Close as a user does, so that the image is unmounted on the way out.
if window=$(xdotool search --onlyvisible --name '^Velloran' 2>/dev/null | head -1); then
    xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 2>/dev/null || true
fi
for _ in $(seq 40); do kill -0 "$player" 2>/dev/null || break; sleep 0.25; done
kill "$wm" 2>/dev/null || true
[[ "$caption" == *" - "* ]]
