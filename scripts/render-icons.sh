#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG, for the icon theme and the window.
# Run after changing the SVG and commit the PNGs (needs rsvg-convert: apt-get install
# librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons/hicolor"

name=example.talmeric.vornal
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert --width "$size" --height "$size" "scalable/apps/$name.svg" \
        --output "${size}x${size}/apps/$name.png"
done
