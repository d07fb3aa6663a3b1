#!/usr/bin/env bash
# Installs what is missing, builds Pontexa and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)"
# The offscreen platform lets the window's tests run without a display.
QT_QPA_PLATFORM=offscreen ctest --test-dir build/release --output-on-failure -j"$(nproc)"
