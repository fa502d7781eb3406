#!/usr/bin/env bash
# Renders the icon's bitmaps for the hicolor theme from the program's icon:
#   16.png            icon16.svg (the 16 x 16 redrawing) at 1x
#   48.png            icon16.svg at 3x
#   32.png ... 256.png icon.svg (a 32 x 32 grid) at 1x, 2x, 4x and 8x
# The icon is pixel art, so only whole-number scales, every pixel opaque or
# transparent, 16 colours. Needs rsvg-convert (librsvg2-bin) and ImageMagick.
# The output carries no time stamps: rendering twice gives the same files.
#   render.sh [OUTPUT_DIR]    (default: this directory)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
artwork="$here/../../../Update_Main/artwork"
out="$(cd "${1:-$here}" && pwd)"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

render() {  # SOURCE SIZE
  rsvg-convert -w "$2" -h "$2" "$artwork/$1" -o "$tmp/$2.png"
  convert "$tmp/$2.png" -channel A -threshold 50% +channel \
    -strip -define png:exclude-chunks=date,time "PNG8:$out/$2.png"
}

render icon16.svg 16
render icon16.svg 48
for size in 32 64 128 256; do
  render icon.svg "$size"
done
