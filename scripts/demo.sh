#!/usr/bin/env bash
# Both conversions on the sample school, in a temporary folder (or in the
# folder given as first argument, which is then kept):
#   GEDU to Horaplan, Horaplan's week and timetable copied in, Horaplan to GEDU,
#   and the time-tables section written into the exchange file;
#   then, on a copy of the sample changed on purpose, the report of a run with
#   findings; last, a re-import after a teacher was added ahead of another
#   with the same initials, whose code the saved timetable uses.
set -euo pipefail
cd "$(dirname "$0")/.."

cli=${PONTEXA_CLI:-build/app/src/pontexa-cli}
if [ ! -x "$cli" ]; then
  cmake --preset app >/dev/null
  cmake --build build/app --target pontexa-cli
fi

if [ $# -ge 1 ]; then
  work=$1
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/htemp"
cp examples/instituto.xml "$work/instituto.xml"

echo "== GEDU a Horaplan: tablas en $work/htemp"
"$cli" to-horaplan "$work/instituto.xml" --dir "$work/htemp"
ls "$work/htemp"

# to-horaplan leaves DIASHORAST empty for Horaplan to fill; the sample holds
# the week and the timetable that Horaplan would have computed.
echo "== Horaplan: semana (DIASHORAST) y horario (SOLUC) de la muestra"
cp examples/DIASHORAST.DBF examples/SOLUC.DBF "$work/htemp/"

echo "== Horaplan a GEDU: sección time-tables en $work/instituto.xml"
"$cli" to-gedu "$work/instituto.xml" --dir "$work/htemp"

python3 - "$work/instituto.xml" <<'PY'
import sys
import xml.dom.minidom

# The section, with only the first items of each list.
document = xml.dom.minidom.parse(sys.argv[1])
table = document.getElementsByTagName("time-tables")[0].firstChild
print('<time-tables>\n  <time-table id="%s" name="%s">'
      % (table.getAttribute("id"), table.getAttribute("name")))
for list_element, shown in zip(table.childNodes, (1, 3, 3, 3, 2)):
    items = list_element.childNodes
    print("    <%s>" % list_element.tagName)
    for item in items[:shown]:
        for line in item.toprettyxml(indent="  ").splitlines():
            print("      " + line)
    if len(items) > shown:
        print("      <!-- ... %d más -->" % (len(items) - shown))
    print("    </%s>" % list_element.tagName)
print("  </time-table>\n</time-tables>")
PY

# The sample converts with notas only (codes made unique, a name cut to its
# field). A copy with three faults on purpose: a teacher's name with a letter
# Windows-1252 lacks (a nota), weekly hours written in words, and an assigned
# teacher whose id is in no catalogue (two avisos).
echo "== Copia con errores a propósito: informe de GEDU a Horaplan"
mkdir -p "$work/avisos/htemp"
python3 - examples/instituto.xml "$work/avisos/instituto.xml" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
for old, new in (
        (">Juan Pérez López<", ">Łukasz Pérez López<"),
        ('name="Lengua Castellana y Literatura 1.º ESO" hours="4"',
         'name="Lengua Castellana y Literatura 1.º ESO" hours="cuatro"'),
        ('<assigned-teacher id="180040406"/>', '<assigned-teacher id="180049999"/>')):
    text = text.replace(old, new, 1)
open(sys.argv[2], "w", encoding="utf-8").write(text)
PY
"$cli" to-horaplan "$work/avisos/instituto.xml" --dir "$work/avisos/htemp" \
  --report "$work/avisos/informe.json"
# The report is written for Notepad (byte-order mark, CRLF); shown here as plain text.
sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//' "$work/avisos/htemp/pontexa-informe.txt"

# GEDU's file gains a teacher ahead of Juan Pérez López with his initials: a
# re-import gives her his code JP, which the saved timetable uses for him.
echo "== Reimportación con una profesora nueva delante de otro de sus iniciales"
python3 - "$work/instituto.xml" "$work/reimportado.xml" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
teacher = '<teacher id="180040117">'
text = text.replace(teacher, '<teacher id="180040999">Juana Pastor Luna</teacher>' + teacher, 1)
open(sys.argv[2], "w", encoding="utf-8").write(text)
PY
"$cli" to-horaplan "$work/reimportado.xml" --dir "$work/htemp"
sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//' "$work/htemp/pontexa-informe.txt" |
  sed -n '/^code-moved/,/^$/p'

echo
echo "== Copias guardadas antes de cada conversión (pontexa-cli restore NOMBRE las repone)"
"$cli" copies --dir "$work/htemp"
