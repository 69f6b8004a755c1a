#!/usr/bin/env bash
# Draws the icon's bitmaps (16, 32, 48 and 128 px) from ui/app/icons/trovik32.svg.
# Run after changing the SVG; the bitmaps are committed. Needs librsvg2-bin.
set -euo pipefail
cd "$(dirname "$0")/../ui/app/icons"
command -v rsvg-convert > /dev/null || { echo "icons.sh: needs rsvg-convert (apt-get install librsvg2-bin)" >&2; exit 2; }
for size in 16 32 48 128; do
  rsvg-convert -w $size -h $size trovik32.svg -o trovik32-$size.png
done
