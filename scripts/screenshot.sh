#!/usr/bin/env bash
# Starts the window on a virtual X display (Xvfb) and saves a picture of it as
# docs/screenshot.png. Also the way to see the window on a machine without a
# desktop. Usage: scripts/screenshot.sh [path of the pontexa program]
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-build/app/src/shell/pontexa}"
if [ ! -x "$program" ]; then
  cmake --preset app >/dev/null
  cmake --build build/app --target pontexa
  program=build/app/src/shell/pontexa
fi
program="$(realpath "$program")"
output="$(pwd)/docs/screenshot.png"
mkdir -p docs

# One run on a fresh display: start the program, wait until its window is
# mapped, take the picture of that window alone, close the program.
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -dpi 96" bash -c '
  set -euo pipefail
  "$1" &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  title="Exportar e importar datos entre Horaplan y GEDU"
  for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"$title\""; then break; fi
    sleep 0.1
  done
  sleep 1  # let the first paint finish
  import -window "$title" "$2"
' screenshot "$program" "$output"
echo "Escrito $output"
