#!/usr/bin/env bash
# Horaplan under Wine holding a table, and what Pontexa makes of it.
#
#   scripts/wine-lock-check.sh [path/to/pontexa-cli]
#
# Builds a tiny Windows program (scripts/wine-hold-table.c) that holds a table
# the way a Windows dBase program does, runs it under Wine in a fresh Wine
# prefix, and for each way of holding shows what Linux sees (/proc/locks and
# the processes that have the file open), that both conversions refuse while
# it runs, changing nothing, and that both succeed once it lets go.
# Needs wine64 and x86_64-w64-mingw32-gcc (Debian: wine64, gcc-mingw-w64-x86-64);
# not part of the test suite. Exit status 0 when everything went as expected.
set -euo pipefail
cd "$(dirname "$0")/.."

# A program on PATH, or where Debian puts it when PATH lacks it.
find_program() { command -v "$1" 2>/dev/null || { [ -x "$2" ] && echo "$2"; } || true; }
wine=$(find_program wine64 /usr/lib/wine/wine64)
wineserver=$(find_program wineserver /usr/lib/wine/wineserver)
mingw=$(find_program x86_64-w64-mingw32-gcc /usr/bin/x86_64-w64-mingw32-gcc)
if [ -z "$wine" ] || [ -z "$wineserver" ] || [ -z "$mingw" ]; then
  echo "Faltan Wine de 64 bits o el compilador MinGW-w64. En Debian 12:" >&2
  echo "  sudo apt-get install wine64 gcc-mingw-w64-x86-64" >&2
  exit 2
fi

cli=${1:-${PONTEXA_CLI:-build/app/src/pontexa-cli}}
if [ ! -x "$cli" ]; then
  cmake --preset app >/dev/null
  cmake --build build/app --target pontexa-cli >/dev/null
fi
cli=$(realpath "$cli")

work=$(mktemp -d)
export WINEPREFIX="$work/wine" WINEDEBUG=-all
cleanup() {
  touch "$WINEPREFIX/drive_c/soltar" 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "Wine: $("$wine" --version)   prefijo: $WINEPREFIX"
"$mingw" -O2 -o "$work/hold.exe" scripts/wine-hold-table.c
# The first program started in a new prefix sets it up (some seconds).
"$wine" "$work/hold.exe" >/dev/null 2>&1 || true

tables="$WINEPREFIX/drive_c/HTEMP"
mkdir -p "$tables"
exchange="$work/instituto.xml"
cp examples/instituto.xml "$exchange"
"$cli" to-horaplan "$exchange" >/dev/null # the tables, in drive_c/HTEMP of the prefix
cp examples/DIASHORAST.DBF examples/SOLUC.DBF "$tables/"
table=ASIGNOMT # rebuilt by GEDU to Horaplan, read by Horaplan to GEDU

fingerprint() { (cd "$tables" && sha256sum ./* && sha256sum "$exchange"); }

# What Linux shows of the table: its record locks and who has it open.
seen_on_linux() {
  local inode device
  inode=$(stat -c %i "$tables/$table.DBF")
  device=$(stat -c '%D' "$tables/$table.DBF")
  echo "  visto en Linux:"
  grep -E ":${inode} " /proc/locks | sed 's/^/    \/proc\/locks: /' || echo "    /proc/locks: nada"
  local link pid
  for link in /proc/[0-9]*/fd/*; do
    [ "$(stat -L -c '%D:%i' "$link" 2>/dev/null)" = "$device:$inode" ] || continue
    pid=${link#/proc/}
    pid=${pid%%/*}
    echo "    abierta por el proceso $pid ($(cat "/proc/$pid/comm" 2>/dev/null))"
  done
}

failures=0
expect() { # expect WHAT EXPECTED_STATUS ACTUAL_STATUS OUTPUT
  local verdict=bien
  if [ "$2" != "$3" ]; then
    verdict="MAL (se esperaba el estado $2)"
    failures=$((failures + 1))
  fi
  printf '  %-32s estado %s: %s  [%s]\n' "$1" "$3" "$4" "$verdict"
}

run() { # run COMMAND: runs the batch tool, sets status and output
  set +e
  output=$("$cli" "$1" "$exchange" 2>&1)
  status=$?
  set -e
}

for mode in exclusivo-y-bloqueo exclusivo bloqueo; do
  case $mode in
    exclusivo-y-bloqueo) echo "== Abierta sin compartir (share mode 0) y LockFileEx en 0xEFFFFFFF" ;;
    exclusivo) echo "== Abierta sin compartir (share mode 0), sin bloqueo" ;;
    bloqueo) echo "== Abierta compartida, LockFileEx en 0xEFFFFFFF" ;;
  esac
  rm -f "$WINEPREFIX/drive_c/soltar" "$work/hold.out"
  "$wine" "$work/hold.exe" "C:\\HTEMP\\$table.DBF" "$mode" 'C:\soltar' >"$work/hold.out" 2>&1 &
  holder=$!
  for _ in $(seq 600); do
    grep -q . "$work/hold.out" 2>/dev/null && break # "listo" or why not
    sleep 0.1
  done
  if ! grep -q '^listo' "$work/hold.out"; then
    echo "  el programa de Windows no llegó a tener la tabla: $(cat "$work/hold.out")"
    failures=$((failures + 1))
    touch "$WINEPREFIX/drive_c/soltar"
    wait "$holder" || true
    continue
  fi
  seen_on_linux
  before=$(fingerprint)
  run to-horaplan
  expect "to-horaplan mientras la tiene:" 1 "$status" "$output"
  run to-gedu
  expect "to-gedu mientras la tiene:" 1 "$status" "$output"
  if [ "$(fingerprint)" = "$before" ]; then
    echo "  tablas y archivo de intercambio: sin cambios  [bien]"
  else
    echo "  tablas y archivo de intercambio: CAMBIADOS  [MAL]"
    failures=$((failures + 1))
  fi
  touch "$WINEPREFIX/drive_c/soltar"
  wait "$holder" || true
  run to-horaplan
  expect "to-horaplan cuando la suelta:" 0 "$status" "$output"
  cp examples/DIASHORAST.DBF examples/SOLUC.DBF "$tables/" # Horaplan's week and timetable again
  run to-gedu
  expect "to-gedu cuando la suelta:" 0 "$status" "$output"
done

# The other way round: a table held as Pontexa holds its tables (an flock and
# a whole-range record lock, taken here by Python the way the tables code takes
# them), and a Windows program under Wine asking for its lock.
hold_like_pontexa() { # hold_like_pontexa KIND: "flock" or "flock+registro"
  /usr/bin/python3 -c '
import fcntl, os, struct, sys
fd = os.open(sys.argv[1], os.O_RDWR)
fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
if sys.argv[2] == "flock+registro":
    fcntl.fcntl(fd, fcntl.F_OFD_SETLK, struct.pack("hhqqixxxx", fcntl.F_WRLCK, 0, 0, 0, 0))
print("listo", flush=True)
sys.stdin.read()
' "$tables/$table.DBF" "$1"
}
echo "== La tabla retenida como la retiene Pontexa; el programa de Windows pide su bloqueo"
for kind in flock+registro flock; do
  rm -f "$work/linux.out"
  exec 3> >(hold_like_pontexa "$kind" >"$work/linux.out" 2>&1)
  for _ in $(seq 100); do
    grep -q . "$work/linux.out" 2>/dev/null && break
    sleep 0.1
  done
  if ! grep -q '^listo' "$work/linux.out"; then
    echo "  no se pudo retener la tabla con $kind: $(cat "$work/linux.out")"
    failures=$((failures + 1))
    exec 3>&-
    continue
  fi
  answer=$("$wine" "$work/hold.exe" "C:\\HTEMP\\$table.DBF" probar 'C:\soltar' 2>&1 | tr -d '\r' || true)
  exec 3>&-
  wanted="LockFileEx concedido"
  [ "$kind" = flock ] || wanted="LockFileEx denegado"
  verdict=bien
  case $answer in "$wanted"*) ;; *) verdict=MAL; failures=$((failures + 1)) ;; esac
  printf '  %-32s %s  [%s]\n' "con $kind:" "$answer" "$verdict"
  sleep 0.5 # the Python process ends once its input closes
done

if [ "$failures" -eq 0 ]; then
  echo "Resultado: todo como se esperaba."
else
  echo "Resultado: $failures comprobaciones fallidas."
  exit 1
fi
