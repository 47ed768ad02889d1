#!/usr/bin/env bash
# Renders the program icon's PNG sizes and its .ico from the drawn SVG (run after the SVG
# changes; needs rsvg-convert from librsvg2-bin and ImageMagick's convert).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
svg=hicolor/scalable/apps/kivo2.svg
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "hicolor/${size}x${size}/apps/kivo2.png"
done
# The window's icon: the largest size first, as the window takes the first picture.
convert hicolor/64x64/apps/kivo2.png hicolor/48x48/apps/kivo2.png hicolor/32x32/apps/kivo2.png \
  hicolor/16x16/apps/kivo2.png kivo2.ico
