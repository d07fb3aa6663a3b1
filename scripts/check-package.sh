#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built: its control fields,
# lintian, the menu entry and the AppStream metadata, the exact list of files
# it installs; then unpacks it into a scratch root, runs the unpacked
# pontexa-cli on the sample school from end to end and starts the unpacked
# window on Qt's offscreen platform.
# Usage: scripts/check-package.sh [build/package/pontexa_VERSION_ARCH.deb]
set -euo pipefail
cd "$(dirname "$0")/.."

package=${1:-$(ls build/package/pontexa_*.deb 2>/dev/null | head -n 1)}
if [ -z "$package" ] || [ ! -f "$package" ]; then
  echo "No hay paquete que comprobar: ejecute antes scripts/package.sh." >&2
  exit 1
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "bien: $1"; }
fail() { failed=$((failed + 1)); echo "MAL: $1" >&2; }
# check DESCRIPTION COMMAND...: one check, passed when the command succeeds.
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root

version=$(sed -n 's/^project(Pontexa VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
architecture=$(dpkg --print-architecture)
field() { dpkg-deb --field "$package" "$1"; }

# Control fields.
check "nombre pontexa" test "$(field Package)" = pontexa
check "versión $version, la del proyecto" test "$(field Version)" = "$version"
check "arquitectura $architecture" test "$(field Architecture)" = "$architecture"
depends=$(field Depends)
echo "Depends: $depends"
for needed in qt6-translations-l10n libqt6widgets6 libqt6svg6 libxml2 libicu libc6; do
  check "Depends nombra $needed" grep -q "\b$needed" <<<"$depends"
done
check "descripción en español e inglés" \
  bash -c 'field() { dpkg-deb --field "$1" Description; }; d=$(field "$1");
           grep -q "Pontexa traslada" <<<"$d" && grep -q "Pontexa moves" <<<"$d"' _ "$package"

# lintian: no error and no warning (a warning kept on purpose would be
# recorded, with its reason, in docs/packaging.md and here).
if lintian --fail-on error,warning --pedantic --display-info --info "$package" \
  >"$scratch/lintian.txt" 2>&1; then
  pass "lintian sin errores ni avisos"
else
  fail "lintian"
fi
grep -v '^running with root privileges' "$scratch/lintian.txt" || true

# Exactly these files, no more and no fewer.
expected=(
  ./usr/bin/pontexa
  ./usr/bin/pontexa-cli
  ./usr/share/applications/pontexa.desktop
  ./usr/share/bash-completion/completions/pontexa-cli
  ./usr/share/doc/pontexa/changelog.gz
  ./usr/share/doc/pontexa/copyright
  ./usr/share/icons/hicolor/scalable/apps/pontexa.svg
  ./usr/share/man/es/man1/pontexa-cli.1.gz
  ./usr/share/man/es/man1/pontexa.1.gz
  ./usr/share/man/man1/pontexa-cli.1.gz
  ./usr/share/man/man1/pontexa.1.gz
  ./usr/share/metainfo/es.pontexa.Pontexa.metainfo.xml
)
for size in 16 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/pontexa.png")
done
printf '%s\n' "${expected[@]}" | sort >"$scratch/expected.txt"
dpkg-deb --contents "$package" | awk '$1 !~ /^d/ { print $6 }' | sort >"$scratch/contents.txt"
if diff -u "$scratch/expected.txt" "$scratch/contents.txt"; then
  pass "el paquete contiene exactamente sus ${#expected[@]} archivos"
else
  fail "lista de archivos del paquete (arriba, - falta, + sobra)"
fi

dpkg-deb --extract "$package" "$root"

# Menu entry, icon and AppStream metadata, as installed.
check "desktop-file-validate" desktop-file-validate "$root/usr/share/applications/pontexa.desktop"
check "appstreamcli validate" \
  appstreamcli validate --no-net "$root/usr/share/metainfo/es.pontexa.Pontexa.metainfo.xml"
icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/pontexa.desktop")
check "el icono '$icon' del menú está en el tema hicolor" \
  test -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png"
check "la entrada del menú abre /usr/bin/pontexa" \
  grep -qx 'Exec=pontexa' "$root/usr/share/applications/pontexa.desktop"
check "AppStream lanza pontexa.desktop" \
  grep -q '<launchable type="desktop-id">pontexa.desktop</launchable>' \
  "$root/usr/share/metainfo/es.pontexa.Pontexa.metainfo.xml"
check "AppStream describe la versión $version" \
  grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/es.pontexa.Pontexa.metainfo.xml"
check "el changelog empieza por la versión $version" \
  bash -c 'zcat "$1" | head -n 1 | grep -q "^pontexa ($2) "' _ \
  "$root/usr/share/doc/pontexa/changelog.gz" "$version"
for page in pontexa pontexa-cli; do
  for folder in man1 es/man1; do
    file=$root/usr/share/man/$folder/$page.1.gz
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
    check "man $folder/$page.1 sin avisos de groff" test -z "$warnings"
    echo -n "$warnings"
  done
done

# The unpacked pontexa-cli on the sample school: GEDU to Horaplan and back.
export HOME=$scratch/home WINEPREFIX=$scratch/wine
mkdir -p "$HOME"
check "pontexa-cli --version" "$root/usr/bin/pontexa-cli" --version
check "pontexa-cli --help" bash -c '"$1" --help >/dev/null' _ "$root/usr/bin/pontexa-cli"
work=$scratch/demo
if PONTEXA_CLI=$root/usr/bin/pontexa-cli bash scripts/demo.sh "$work" >"$scratch/demo.txt" 2>&1; then
  pass "demo de la muestra con el pontexa-cli instalado"
else
  cat "$scratch/demo.txt"
  fail "demo de la muestra con el pontexa-cli instalado"
fi
for table in ASIGNOMT PROFT AULAT GRUPOST ASIGT DIASHORAST; do
  check "tabla $table creada" test -s "$work/htemp/$table.DBF"
done
check "sección time-tables escrita en el archivo de intercambio" \
  grep -q '<time-tables' "$work/instituto.xml"
check "mensajes de cierre de las dos conversiones" \
  bash -c 'grep -qx "Proceso finalizado" "$1" && grep -qx "Proceso Terminado" "$1"' _ "$scratch/demo.txt"

# The unpacked window starts on the offscreen platform: still running after
# five seconds, when timeout ends it (status 124), counts as started.
status=0
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$scratch timeout 5 "$root/usr/bin/pontexa" \
  >"$scratch/window.txt" 2>&1 || status=$?
if [ "$status" -eq 124 ]; then
  pass "la ventana instalada arranca"
else
  cat "$scratch/window.txt"
  fail "la ventana instalada terminó por sí sola con el estado $status"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
