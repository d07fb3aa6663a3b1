#!/usr/bin/env bash
# The bash completion of pontexa-cli, driven as bash drives it: the words of a
# command line in COMP_WORDS, the cursor's word in COMP_CWORD.
# Usage: completion_test.sh PATH/TO/packaging/bash-completion/pontexa-cli
set -uo pipefail
source "$1"

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
mkdir -p carpeta/sub otra otra/copias-pontexa/20261209-101500 otra/copias-pontexa/sin-manifiesto
mkdir -p otra/copias-pontexa/20261209-101500-2 otra/copias-pontexa/guardar-examenes
touch otra/copias-pontexa/20261209-101500/manifiesto.txt
touch otra/copias-pontexa/20261209-101500-2/manifiesto.txt
touch otra/copias-pontexa/guardar-examenes/manifiesto.txt
touch escuela.xml VIEJO.XML notas.txt carpeta/dentro.xml carpeta/dentro.dbf

passed=0
failed=0
# expect 'WANTED COMPLETIONS' WORD...: completes the last word of the line.
expect() {
  local wanted=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _pontexa_cli
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
  if [ "$got" = "$wanted" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "MAL: '$*' completa a '$got', se esperaba '$wanted'" >&2
  fi
}

expect '--help --version copies restore to-gedu to-horaplan' pontexa-cli ''
expect 'to-gedu to-horaplan' pontexa-cli to-
expect '--help' pontexa-cli --h
expect '-- --check --dir --report' pontexa-cli to-gedu -
expect '--dir' pontexa-cli copies -
expect '--dir' pontexa-cli snapshots -  # its older name
expect '--dir' pontexa-cli to-horaplan escuela.xml --d
# The argument: exchange files, whatever the case of .xml, and folders.
expect 'VIEJO.XML carpeta escuela.xml otra' pontexa-cli to-gedu ''
expect 'carpeta/dentro.xml carpeta/sub' pontexa-cli to-horaplan carpeta/
# --dir takes a folder, written apart or after "=" (bash splits the word there).
expect 'carpeta otra' pontexa-cli to-gedu --dir ''
expect 'carpeta otra' pontexa-cli to-gedu --dir =
expect 'carpeta' pontexa-cli to-gedu --dir = ca
# After "--" nothing is an option any more.
expect '' pontexa-cli to-gedu -- --d
# Nothing to offer after an unknown command.
expect '' pontexa-cli desconocida ''
# A saved copy is named by its folder, only where it has a manifest and the
# folder is named as a copy.
expect '20261209-101500 20261209-101500-2' pontexa-cli restore --dir otra ''
expect '20261209-101500 20261209-101500-2' pontexa-cli restore --dir = otra 2026
# restore --xml takes an exchange file.
expect '-- --dir --xml' pontexa-cli restore -
expect 'VIEJO.XML carpeta escuela.xml otra' pontexa-cli restore 20261209-101500 --xml ''

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
