#!/usr/bin/env bash
# Builds the benchmark in Release (build/bench) and runs it. Arguments go to
# pontexa-bench, for instance: bench/run_bench.sh --k 1,10 --reps 3
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build build/bench --target pontexa-bench >/dev/null
exec build/bench/bench/pontexa-bench "$@"
