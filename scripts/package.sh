#!/usr/bin/env bash
# Installs what is missing and builds the Debian package of Pontexa:
# build/package/pontexa_VERSION_ARCH.deb.
# The programs are compiled with the flags Debian builds its own packages with
# (dpkg-buildflags, all hardening on), in a build folder of their own.
# Usage: scripts/package.sh
# Progress goes to standard error; standard output gets the package's path alone.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >&2

eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
# CMake reads CXXFLAGS but not CPPFLAGS, which carry _FORTIFY_SOURCE.
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
export CFLAGS="$CPPFLAGS $CFLAGS"

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

build=build/package
# The flags are read when the folder is first configured: start afresh if
# they changed since.
if [ -f "$build/CMakeCache.txt" ] &&
  ! grep -qxF "CMAKE_CXX_FLAGS:STRING=$CXXFLAGS" "$build/CMakeCache.txt"; then
  rm -rf "$build"
fi
cmake --preset package "${launcher[@]}" >&2
cmake --build "$build" --target pontexa pontexa-cli pontexa_package_files -j"$(nproc)" >&2

rm -f "$build"/pontexa_*.deb
(cd "$build" && cpack -G DEB >&2)
package=$(ls "$build"/pontexa_*.deb)
echo "$package"
