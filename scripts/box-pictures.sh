#!/usr/bin/env bash
# Draws the boxes of undo and of the saved copies on a virtual X display
# (Xvfb), as the window shows them on the sample school, into docs/*.png:
# deshacer-cierre, menu, deshacer-pregunta, deshacer-cambios, deshacer-hecho,
# copias-guardadas and reponer-pregunta.
# Usage: scripts/box-pictures.sh [path of the box_pictures program]
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-build/release/tests/shell/box_pictures}"
if [ ! -x "$program" ]; then
  cmake --preset release >/dev/null
  cmake --build build/release --target box_pictures
  program=build/release/tests/shell/box_pictures
fi
program="$(realpath "$program")"
mkdir -p docs

xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -dpi 96" \
  "$program" "$(pwd)/docs"
echo "Escritas las imágenes en $(pwd)/docs"
