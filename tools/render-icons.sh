#!/usr/bin/env bash
# Renders the drawings in resources/svg/ to the PNG files the program embeds (resources/<name>.png).
# The PNGs are committed, so the build needs nothing of this; run it after changing a drawing.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2; exit 1; }
for svg in "$ROOT"/resources/svg/*.svg; do
    name="$(basename "$svg" .svg)"
    rsvg-convert --format=png --output="$ROOT/resources/$name.png" "$svg"
    echo "resources/$name.png"
done
# The window icon is an .ico file; its drawing is rendered to PNG above and converted here.
python3 "$ROOT/tools/png-to-ico.py" "$ROOT/resources/tavrel-icon.png" "$ROOT/resources/tavrel-icon.ico"
rm "$ROOT/resources/tavrel-icon.png"
echo "resources/tavrel-icon.ico"
