#!/usr/bin/env bash
# Installs what is missing, builds Pontexa and starts its window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset app >/dev/null
cmake --build build/app --target pontexa pontexa-cli -j"$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No hay escritorio en esta sesión: la ventana no puede mostrarse."
  echo "Para verla en una pantalla virtual: scripts/screenshot.sh build/app/src/shell/pontexa"
  echo "La herramienta de lotes está en build/app/src/pontexa-cli:"
  echo
  exec build/app/src/pontexa-cli --help
fi
exec build/app/src/shell/pontexa "$@"
