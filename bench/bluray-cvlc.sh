#!/usr/bin/env bash
# cvlc's side of bench_bluray: for each round, cvlc (as the user vlcbench, idle with its rc
# interface) is handed bluray:///IMAGE; prints "open S chapter S": the seconds until its window
# shows the first picture, and, two seconds into the red first chapter, from "chapter 3" until
# the yellow of chapter 4 shows. The picture is read at the window's centre from the screen.
# Usage: bluray-cvlc.sh IMAGE ROUNDS
set -uo pipefail
image=$1 rounds=${2:-3}
id vlcbench >/dev/null 2>&1 || useradd -m vlcbench >/dev/null 2>&1
work=$(mktemp -d)
trap 'rm -rf "$work"; [[ -n ${cvlc:-} ]] && kill "$cvlc" 2>/dev/null' EXIT
clock() { date +%s.%N; }
# The colour at the centre of window $1: red, yellow, black or other.
shade() {
    local w h
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
    [[ -n ${WIDTH:-} ]] || { echo none; return; }
    import -silent -window "$1" -crop "1x1+$((WIDTH / 2))+$((HEIGHT / 2))" -depth 8 txt:- 2>/dev/null |
        awk -F"[(),]" 'NR == 2 { r = $3 + 0; g = $4 + 0; b = $5 + 0
            if (r < 40 && g < 40 && b < 40) print "black"
            else if (r > 180 && g < 70 && b < 70) print "red"
            else if (r > 180 && g > 180 && b < 70) print "yellow"
            else print "other"; exit }'
}
# Seconds from $1 until window $2's centre is $3 ("picture": anything but black), at most $4 s.
until_shade() {
    local start=$1 window=$2 wanted=$3 limit=$4 seen
    while awk -v s="$start" -v n="$(clock)" -v l="$limit" 'BEGIN { exit !(n - s < l) }'; do
        seen=$(shade "$window")
        if [[ $seen == "$wanted" || ( $wanted == picture && $seen != black && $seen != none ) ]]; then
            awk -v s="$start" -v n="$(clock)" 'BEGIN { printf "%.3f", n - s }'
            return 0
        fi
    done
    echo -1
}
for ((round = 0; round < rounds; ++round)); do
    mkfifo "$work/rc"
    runuser -u vlcbench -- env DISPLAY="$DISPLAY" cvlc -I rc --rc-fake-tty --vout=xcb_x11 \
        --aout=dummy --no-video-title-show <"$work/rc" >/dev/null 2>&1 &
    cvlc=$!
    exec 3>"$work/rc"
    sleep 2 # cvlc starts and waits for commands
    start=$(clock)
    echo "add bluray://$image" >&3
    window=""
    while [[ -z $window ]] && awk -v s="$start" -v n="$(clock)" 'BEGIN { exit !(n - s < 30) }'; do
        window=$(xdotool search --onlyvisible --name '^VLC media player$' 2>/dev/null | head -1)
    done
    open=$( [[ -n $window ]] && until_shade "$start" "$window" picture 30 || echo -1)
    chapter=-1
    if [[ $(until_shade "$(clock)" "$window" red 20) != -1 ]]; then
        sleep 2
        start=$(clock)
        echo "chapter 3" >&3
        chapter=$(until_shade "$start" "$window" yellow 10)
    fi
    echo "open $open chapter $chapter"
    echo quit >&3
    exec 3>&-
    wait "$cvlc" 2>/dev/null
    cvlc=""
    rm -f "$work/rc"
done
