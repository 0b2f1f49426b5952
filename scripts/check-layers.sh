#!/usr/bin/env bash
# Fails on an include that points up the layers: each folder may include only from itself and
# the folders below it.
#   platform <- engine <- playback, mount <- ui <- app
set -uo pipefail
cd "$(dirname "$0")/.."
declare -A forbidden=(
    [platform]="engine playback mount ui app"
    [engine]="playback mount ui app"
    [playback]="mount ui app"
    [mount]="playback ui app"
    [ui]="app"
)
hits=""
for layer in "${!forbidden[@]}"; do
    [[ -d $layer ]] || continue
    for above in ${forbidden[$layer]}; do
        hits+=$(grep -rnE "^\s*#\s*include\s+[\"<]$above/" "$layer" \
                    --include='*.h' --include='*.cpp' 2>/dev/null)
    done
done
if [[ -n "$hits" ]]; then
    echo "Includes that point up the layers (platform <- engine <- playback, mount <- ui <- app):"
    echo "$hits"
    exit 1
fi
echo "layer check: clean"
