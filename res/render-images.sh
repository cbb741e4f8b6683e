#!/usr/bin/env bash
# Renders the artwork in res/svg to the images the program embeds (res/images), at the pixel
# sizes the screens draw them: buttons take an icon's pixel size as its size on screen, line icons
# and the alert are stretched to a few millimetres, button textures to 118 x 36 pixels.
# PNG_PROGRESS is an animated GIF (12 frames, 80 ms each) built from svg/progress-frame.svg.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert. Commit the results.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p images

declare -A sizes=(
  [PNG_ADD]=48x48 [PNG_ADDLINE]=48x48 [PNG_DELLINE]=48x48 [PNG_OK]=48x48 [PNG_SUCCESS]=64x64
  [PNG_ALERT]=64x64 [PNG_DROPDOWN]=16x16 [PNG_SAVE]=60x60 [PNG_PRINT60]=60x60
  [PNG_BTNTEXNOR]=118x36 [PNG_BTNTEXHOV]=118x36 [PNG_BTNTEXPRE]=118x36
)
for svg in svg/PNG_*.svg; do
  name=$(basename "$svg" .svg)
  size=${sizes[$name]:?"no size for $name"}
  rsvg-convert -w "${size%x*}" -h "${size#*x}" "$svg" -o "images/$name.png"
done

# GIF keeps one bit of transparency: edge pixels are blended onto the grey the progress cover
# makes of a white page, then cut at half coverage.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for i in $(seq 0 11); do
  frame=$(printf '%s/f%02d' "$tmp" "$i")
  sed "s/ROTATION/$((i * 30))/" svg/progress-frame.svg > "$frame.svg"
  rsvg-convert -w 64 -h 64 "$frame.svg" -o "$frame-rgba.png"
  convert "$frame-rgba.png" \( +clone -alpha extract -threshold 50% \) \
    \( -clone 0 -background '#cdcdcd' -flatten \) -delete 0 +swap -alpha off \
    -compose CopyOpacity -composite "$frame.png"
done
rm -f images/PNG_PROGRESS.*
convert -delay 8 -loop 0 -dispose Background "$tmp"/f??.png images/PNG_PROGRESS.gif
