#!/usr/bin/env bash
# Prints the file extensions Velloran is offered for, one a line, lower case with the dot: the
# disc images (.iso, .img, .cue) and then the video and audio lists of playback/MediaTypes.cpp,
# the lists the player's Open File dialog and play list use ("*f4v" and "*..tod" there mean
# .f4v and .tod), each once.
set -euo pipefail
cd "$(dirname "$0")/.."
{
    printf '%s\n' .iso .img .cue
    sed -n '/^const char k\(Video\|Audio\)Extensions\[\]/,/;$/p' playback/MediaTypes.cpp |
        grep -o '"[^"]*"' | tr -d '"' | tr ';' '\n' | sed 's/^\*\.*//' | grep . |
        tr '[:upper:]' '[:lower:]' | sed 's/^/./'
} | awk '!seen[$0]++'
