#!/usr/bin/env bash
# Every command and option that pontexa-cli --help lists is described in the
# manual page and known to the bash completion, and the manual pages format
# without a warning.
# Usage: documentation_test.sh PONTEXA-CLI SOURCE/packaging BUILD/packaging
set -uo pipefail
cli=$1
sources=$2
built=$3

passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "MAL: $what" >&2; fi
}

help=$("$cli" --help)
commands=$(sed -n 's/^\(Uso:\)\? *pontexa-cli \([a-z][a-z-]*\).*/\2/p' <<<"$help" | sort -u)
options=$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
check "la ayuda lista órdenes" test -n "$commands"
check "la ayuda lista opciones" test -n "$options"

page=$sources/man/pontexa-cli.1.in
completion=$sources/bash-completion/pontexa-cli
for command in $commands; do
  check "la página de manual describe la orden $command" \
    bash -c 'sed -n "/^\.SH ÓRDENES/,/^\.SH [^Ó]/p" "$1" | grep -E "^\.BI? " |
             grep -qF "$2"' _ "$page" "${command//-/\\-}"
  check "la completación conoce la orden $command" grep -qF "[$command]=" "$completion"
done
for option in $options; do
  check "la página de manual describe la opción $option" grep -qF "${option//-/\\-}" "$page"
  check "la completación conoce la opción $option" grep -qF -- "$option" "$completion"
done

for page in "$built"/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  check "$(basename "$page") se compone sin avisos: $warnings" test -z "$warnings"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
