#!/usr/bin/env bash
# Renders the bitmaps from their SVG sources:
#   logo.svg -> logo.png (148 x 86) and logo@2x.png, 256 colours on white,
#               and the same as uncompressed 8-bit BMPs for the Windows
#               resources (logo.bmp, logo@2x.bmp)
#   icon.svg -> icon.png (32 x 32), icon@2x.png, and with icon16.svg (its
#               16 x 16 redrawing) icon.ico (16, 32 and 64 pixels)
# Needs rsvg-convert (librsvg2-bin), ImageMagick's convert and the DejaVu
# fonts (fonts-dejavu-core) for the logo's lettering. The output carries no
# time stamps, so rendering twice gives the same files.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The logo: flattened onto white, reduced to at most 256 colours without
# dithering, so its edges stay clean; the full colour-tree depth keeps the
# white exactly white.
for scale in 1 2; do
  suffix=$([[ $scale == 1 ]] && echo "" || echo "@${scale}x")
  rsvg-convert -w $((148 * scale)) -h $((86 * scale)) logo.svg -o "$tmp/logo.png"
  convert "$tmp/logo.png" -background white -alpha remove -alpha off \
    -quantize sRGB -treedepth 8 +dither -colors 256 \
    -strip -define png:exclude-chunks=date,time "PNG8:logo${suffix}.png"
  convert "logo${suffix}.png" -type Palette -compress none "BMP3:logo${suffix}.bmp"
done

# The icon is pixel art in the sixteen-colour palette: whole-number scales
# only, and every pixel either opaque or transparent.
rsvg-convert -w 16 -h 16 icon16.svg -o "$tmp/icon16.png"
rsvg-convert -w 32 -h 32 icon.svg -o "$tmp/icon32.png"
rsvg-convert -w 64 -h 64 icon.svg -o "$tmp/icon64.png"
for f in icon16 icon32 icon64; do
  convert "$tmp/$f.png" -channel A -threshold 50% +channel "$tmp/$f.png"
done
convert "$tmp/icon32.png" -strip -define png:exclude-chunks=date,time PNG8:icon.png
convert "$tmp/icon64.png" -strip -define png:exclude-chunks=date,time PNG8:icon@2x.png
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon64.png" -strip icon.ico

echo "rendered: logo.png logo@2x.png logo.bmp logo@2x.bmp icon.png icon@2x.png icon.ico"
