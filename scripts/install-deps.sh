#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages that Pontexa needs to build,
# run and test, and makes the es_ES.UTF-8 locale available. Safe to run again:
# it only installs what is missing. Works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libxml2-dev libicu-dev
  qt6-base-dev qt6-svg-dev qt6-translations-l10n libgl-dev
  libgtest-dev libgmock-dev googletest
  locales
  python3 python3-dbfread python3-dbf gdal-bin
  xvfb xauth x11-apps imagemagick fonts-liberation fonts-dejavu-core
  clang-14 libclang-rt-14-dev
  dpkg-dev lintian desktop-file-utils appstream man-db librsvg2-bin
)

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "Hace falta ser root o tener sudo para instalar paquetes." >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Instalando: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests read numbers under a comma-decimal locale.
if ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
  if ! grep -q '^es_ES.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'es_ES.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen >/dev/null
fi
