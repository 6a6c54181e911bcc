#!/usr/bin/env bash
# Renders the PNG icons from the SVG; run it after changing the SVG and keep the results.
# Needs rsvg-convert (librsvg2-bin), which the build itself does not.
set -euo pipefail
cd "$(dirname "$0")/icons"
id=io.github.ostrel.Ostrel
for size in 16 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$id.svg" -o "${size}x${size}/$id.png"
done
