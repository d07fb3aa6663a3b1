#!/usr/bin/env bash
# Installs what is missing, builds Pontexa and runs every test through ctest;
# then builds and checks the Debian package, runs the suite under the
# sanitizers, and each fuzz target for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build build/release -j"$(nproc)"
# The offscreen platform lets the window's tests run without a display.
QT_QPA_PLATFORM=offscreen ctest --test-dir build/release --output-on-failure -j"$(nproc)"

# The Debian package, built with Debian's compiler flags, judged by lintian,
# desktop-file-validate and appstreamcli, then unpacked into a scratch root
# where its pontexa-cli converts the sample school and its window starts.
package=$(bash scripts/package.sh | tail -n 1)
bash scripts/check-package.sh "$package"

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
# The window is left out here: its Qt build would double the time, and it adds
# no parsing or file handling of its own.
cmake --preset sanitize >/dev/null
cmake --build build/sanitize -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j"$(nproc)"

# Each fuzz target for 60 seconds from its seed corpus (libFuzzer, clang 14).
# New inputs go to a scratch folder; a crash leaves its input in build/fuzz/.
cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target fuzz_table_reader fuzz_exchange fuzz_manifest -j"$(nproc)"
for target in table_reader exchange manifest; do
  scratch=build/fuzz/scratch-$target
  rm -rf "$scratch" && mkdir -p "$scratch"
  build/fuzz/fuzz/fuzz_$target -max_total_time=60 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/crash-$target- "$scratch" fuzz/corpus/$target
done
