#!/usr/bin/env bash
# Generates the videos the engine benchmark plays, into OUTDIR (default build/benchmedia).
# Idempotent; each file is written under a temporary name first.
#   h264_1080p30.mkv   10 s 1920x1080 30 fps H.264, no audio
#   h264_1080p60.mkv   10 s 1920x1080 60 fps H.264, no audio
#   mpeg2_576p25.mpg   20 s 720x576 25 fps MPEG-2, no audio
set -euo pipefail
out=${1:-build/benchmedia}
mkdir -p "$out"
ff() { nice ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
make_one() { # name input-size rate seconds codec-args...
    local name=$1 size=$2 rate=$3 seconds=$4
    shift 4
    [[ -e "$out/$name" ]] && return
    echo "bench media: $name"
    ff -f lavfi -i "testsrc2=size=$size:rate=$rate" -t "$seconds" -pix_fmt yuv420p "$@" \
        "$out/.tmp.$name"
    mv "$out/.tmp.$name" "$out/$name"
}
make_one h264_1080p30.mkv 1920x1080 30 10 -c:v libx264 -preset veryfast -crf 23
make_one h264_1080p60.mkv 1920x1080 60 10 -c:v libx264 -preset veryfast -crf 23
make_one mpeg2_576p25.mpg 720x576 25 20 -c:v mpeg2video -b:v 5000k -f mpeg
