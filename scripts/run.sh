#!/usr/bin/env bash
# Installs what is missing, builds Pontexa and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPONTEXA_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
if [ -x build/release/src/shell/pontexa ]; then
  exec build/release/src/shell/pontexa "$@"
fi
exec build/release/src/pontexa-cli --help
