#!/usr/bin/env bash
# Redraws the control bar skin (resources/skin/*.png) and the idle logo (resources/logo.png)
# with ImageMagick: flat light glyphs on the bar colour 0x1c1c1c, one accent colour for the
# played part of the seek bar. Every image is written as 8-bit RGBA at the exact size the
# layout expects; the layout is computed from these sizes, so they must not change.
#   bash scripts/make-skin.sh [output-folder]    (default: resources)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-resources}
mkdir -p "$out/skin"

command -v convert >/dev/null || { echo "make-skin: ImageMagick (convert) is needed" >&2; exit 1; }

BAR='#1c1c1c'      # bar background, also the colour the buttons sit on
EDGE='#2e2e2e'     # top edge of the bar
GLYPH='#d4d4d4'    # button glyphs
TRACK='#3c3c3c'    # unplayed seek track and the volume wedge
ACCENT='#3d8ee6'   # played part of the seek bar
KNOB='#e6e6e6'     # slider knobs

font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
fontBold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[[ -f $font ]] || font=Helvetica
[[ -f $fontBold ]] || fontBold=Helvetica-Bold

# png NAME W H DRAW-ARGS...: a transparent W x H canvas, the drawing, written as RGBA.
png() {
    local name=$1 w=$2 h=$3
    shift 3
    convert -size "${w}x${h}" xc:none "$@" -strip -define png:exclude-chunks=date,time -depth 8 "PNG32:$out/$name"
}

# Bar background: one 10-pixel column, tiled across the bar. Opaque, with a lighter top edge so
# that the bar stands apart from the black video area.
png skin/bar_bkg.png 10 36 -fill "$BAR" -draw "rectangle 0,0 9,35" \
    -fill "$EDGE" -draw "rectangle 0,0 9,0" -fill '#242424' -draw "rectangle 0,1 9,1"

# Buttons, 36 x 32, transparent around the glyph: the bar shows through, and the pressed look
# (the image drawn one pixel right and down) needs no second picture.
g=(-fill "$GLYPH" -stroke none)
png skin/play.png 36 32 "${g[@]}" -draw "polygon 13,8 13,23 25,15.5"
png skin/pause.png 36 32 "${g[@]}" -draw "rectangle 12,9 15,22" -draw "rectangle 20,9 23,22"
png skin/stop.png 36 32 "${g[@]}" -draw "rectangle 12,9 23,22"
png skin/prev.png 36 32 "${g[@]}" -draw "rectangle 10,9 12,22" -draw "polygon 25,8.5 25,22.5 13.5,15.5"
png skin/next.png 36 32 "${g[@]}" -draw "rectangle 23,9 25,22" -draw "polygon 10,8.5 10,22.5 21.5,15.5"
# Open: the eject sign, which a disc-image player uses for "bring in a disc".
png skin/open.png 36 32 "${g[@]}" -draw "polygon 9.5,18 26.5,18 18,8.5" -draw "rectangle 10,20 26,22"

# Mute, 28 x 24: a speaker with two sound waves.
png skin/mute.png 28 24 "${g[@]}" -draw "rectangle 5,9 8,15" -draw "polygon 8.5,9 14,4.5 14,19.5 8.5,15" \
    -fill none -stroke "$GLYPH" -strokewidth 1.6 \
    -draw "arc 12,8 20,16 -50,50" -draw "arc 10,4.5 24,19.5 -50,50"

# Full screen (corners pointing out) and leave full screen (corners pointing in), 32 x 26.
png skin/fullscreen1.png 32 26 "${g[@]}" \
    -draw "rectangle 8,5 13,6" -draw "rectangle 8,5 9,10" \
    -draw "rectangle 18,5 23,6" -draw "rectangle 22,5 23,10" \
    -draw "rectangle 8,19 13,20" -draw "rectangle 8,15 9,20" \
    -draw "rectangle 18,19 23,20" -draw "rectangle 22,15 23,20"
png skin/fullscreen2.png 32 26 "${g[@]}" \
    -draw "rectangle 8,9 13,10" -draw "rectangle 12,5 13,10" \
    -draw "rectangle 18,9 23,10" -draw "rectangle 18,5 19,10" \
    -draw "rectangle 8,15 13,16" -draw "rectangle 12,15 13,20" \
    -draw "rectangle 18,15 23,16" -draw "rectangle 18,15 19,20"

# Seek bar tiles, 3 x 12: a 4-pixel line in the middle rows, transparent above and below.
png skin/time_bkg.png 3 12 -fill "$TRACK" -draw "rectangle 0,4 2,7"
png skin/time_forg.png 3 12 -fill "$ACCENT" -draw "rectangle 0,4 2,7"
# Seek knob, 12 x 12: a round knob with a thin dark rim so that it reads on the accent colour.
png skin/time_ball.png 12 12 -fill "$KNOB" -stroke '#101010' -strokewidth 1 -draw "circle 5.5,5.5 5.5,0.5"

# Volume track, 72 x 12: a wedge that grows to the right. Volume knob, 16 x 12: a rounded bar.
png skin/volume_bar.png 72 12 -fill "$TRACK" -draw "polygon 0,9.5 0,7.5 71.5,1.5 71.5,9.5"
png skin/volume_ball.png 16 12 -fill "$KNOB" -stroke '#101010' -strokewidth 1 \
    -draw "roundrectangle 4.5,0.5 11.5,11.5 2,2"

# Logo of the idle video window, 316 x 155, drawn over black: a disc and the product name.
convert -size 316x155 xc:none \
    -fill '#2a2a2a' -draw "circle 78,77 78,17" \
    -fill none -stroke '#3a3a3a' -strokewidth 1 -draw "circle 78,77 78,27" -draw "circle 78,77 78,37" \
    -stroke none -fill "$ACCENT" -draw "circle 78,77 78,55" \
    -fill '#000000' -draw "circle 78,77 78,68" \
    -fill none -stroke '#4a4a4a' -strokewidth 2 -draw "arc 26,25 130,129 200,250" \
    -stroke none -fill "$GLYPH" -font "$fontBold" -pointsize 31 -annotate +152+84 'Velloran' \
    -fill '#8a8a8a' -font "$font" -pointsize 13 -annotate +154+106 'disc image player' \
    -strip -define png:exclude-chunks=date,time -depth 8 "PNG32:$out/logo.png"

for f in "$out"/skin/*.png "$out/logo.png"; do
    identify -format '%f %wx%h\n' "$f"
done
