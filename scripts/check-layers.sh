#!/usr/bin/env bash
# Fails on an include that points up the layers or across to what a folder may not use, and on
# a project header included without its folder.
#   platform <- engine <- playback, mount <- ui <- app
#   resources/ (the resource script and resource.h) includes nothing of the layers; only ui/ and
#   app/ include it. components/ are DLLs of their own: they include only platform/, and nothing
#   of the program includes them.
set -uo pipefail
cd "$(dirname "$0")/.."
declare -A forbidden=(
    [platform]="engine playback mount ui app resources components"
    [engine]="playback mount ui app resources components"
    [playback]="mount ui app resources components"
    [mount]="playback ui app resources components"
    [ui]="app components"
    [app]="components"
    [resources]="platform engine playback mount ui app components"
    [components]="engine playback mount ui app resources"
)
sources=(--include='*.h' --include='*.hpp' --include='*.c' --include='*.cpp' --include='*.rc')
hits=""
for layer in "${!forbidden[@]}"; do
    [[ -d $layer ]] || continue
    for above in ${forbidden[$layer]}; do
        hits+=$(grep -rnE "^\s*#\s*include\s+[\"<]$above/" "$layer" "${sources[@]}" 2>/dev/null)
        hits+=$'\n'
    done
done
hits=$(grep -v '^$' <<< "$hits")
# Every project header is named with its folder ("resources/resource.h"), so that no include
# path lets a file reach a folder without saying so. Resource scripts include the header beside
# them, as both resource compilers find it there.
bare=$( (git ls-files '*.h' '*.hpp' '*.c' '*.cpp'; git ls-files --others --exclude-standard '*.h' '*.hpp' '*.c' '*.cpp') |
    sort -u | xargs -r grep -nHE '^\s*#\s*include\s+"[^/"]+"')
if [[ -n "$hits" || -n "$bare" ]]; then
    if [[ -n "$hits" ]]; then
        echo "Includes that point up the layers (platform <- engine <- playback, mount <- ui <- app)"
        echo "or to resources/ and components/ from where they may not be used:"
        echo "$hits"
    fi
    if [[ -n "$bare" ]]; then
        echo "Project headers included without their folder:"
        echo "$bare"
    fi
    exit 1
fi
echo "layer check: clean"
