#!/usr/bin/env bash
# Builds the benchmark in Release (build/bench) and runs it. Arguments go to
# pontexa-bench, for instance: bench/run_bench.sh --k 1,10 --reps 3
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPONTEXA_BUILD_SHELL=OFF >/dev/null
cmake --build build/bench --target pontexa-bench >/dev/null
exec build/bench/bench/pontexa-bench "$@"
