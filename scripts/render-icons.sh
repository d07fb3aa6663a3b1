#!/usr/bin/env bash
# Renders the application icon (src/shell/pictures/pontexa.svg) as the PNG
# sizes of the hicolor theme, into packaging/icons/. The PNGs are kept in the
# repository, so building and packaging never need the renderer: run this
# again after changing the drawing, and commit what it writes.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v rsvg-convert >/dev/null 2>&1; then
  echo "Falta rsvg-convert (paquete librsvg2-bin): ejecute scripts/install-deps.sh." >&2
  exit 1
fi
drawing=src/shell/pictures/pontexa.svg
for size in 16 24 32 48 64 128 256; do
  folder=packaging/icons/hicolor/${size}x${size}/apps
  mkdir -p "$folder"
  rsvg-convert --width "$size" --height "$size" --format png "$drawing" -o "$folder/pontexa.png"
  echo "Escrito $folder/pontexa.png"
done
