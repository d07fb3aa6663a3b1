#!/usr/bin/python3
"""Writes DIASHORAST.DBF and SOLUC.DBF for the sample school, as Horaplan
would leave them once it has filled in the school week and computed a
timetable.

    /usr/bin/python3 examples/make_horaplan_tables.py TABLAS [SALIDA]

TABLAS is the folder where `pontexa-cli to-horaplan examples/instituto.xml
--dir TABLAS` wrote ASIGT, AULAT, ASIGNOMT and the other tables; SALIDA is
where the two tables are written (examples/ by default).

The week has five days: four of seven hours and a Friday of six. Every
teaching assignment of ASIGT is placed as many times as its SESIONES says, in
sessions of one hour; no group, teacher or room is ever in two places at
once, and the sessions of one assignment fall on different days where the
week allows it. The search is seeded, so the same tables give the same
timetable every time.

Needs Debian's python3-dbf (writing) and python3-dbfread (reading).
"""

import os
import random
import sys

import dbf
from dbfread import DBF

DAYS = [
    (1, "Lunes", 7),
    (2, "Martes", 7),
    (3, "Miércoles", 7),
    (4, "Jueves", 7),
    (5, "Viernes", 6),
]

# Start and end of each hour, with the break between the third and fourth.
HOURS = [
    ("8:30", "9:25"),
    ("9:25", "10:20"),
    ("10:20", "11:15"),
    ("11:45", "12:40"),
    ("12:40", "13:35"),
    ("13:35", "14:30"),
    ("14:30", "15:25"),
]

# Subjects that want a room of their own, by words of their name.
SPECIAL_ROOMS = [
    (("Educación Física",), "Gimnasio"),
    (("Música",), "Música"),
    (("Plástica",), "Plástica"),
    (("Tecnología",), "Taller"),
    (("Digitalización",), "Informática"),
    (("Biología", "Física y Química", "Ciencias"), "Laboratorio"),
]

ATTEMPTS = 500


def read_table(folder, name):
    for candidate in os.listdir(folder):
        if candidate.upper() == name + ".DBF":
            return list(DBF(os.path.join(folder, candidate), encoding="cp1252",
                            char_decode_errors="strict"))
    sys.exit("No existe la tabla %s en %s" % (name, folder))


def session_count(sesiones):
    """Sessions of an assignment: the number of "1" characters, or, past
    thirteen, the leading number plus thirteen."""
    text = (sesiones or "").strip()
    if not text:
        return 0
    if set(text) == {"1"}:
        return len(text)
    return int(text[:-13]) + 13


def slots():
    return [(day, hour) for day, _, hours in DAYS for hour in range(1, hours + 1)]


def plan(lessons, rooms, seed):
    """One timetable as a list of (lesson, day, hour, room), or None when the
    seeded greedy search runs into a dead end."""
    rng = random.Random(seed)
    order = list(lessons)
    rng.shuffle(order)
    # Hardest first: the assignments of the busiest teachers and groups.
    load = {}
    for lesson in lessons:
        for key in (("P", lesson["prof"]), ("G", lesson["grupo"])):
            load[key] = load.get(key, 0) + 1
    order.sort(key=lambda l: -(load[("P", l["prof"])] + load[("G", l["grupo"])]))

    busy = set()
    days_of_assignment = {}
    placed = []
    all_slots = slots()
    for lesson in order:
        used_days = days_of_assignment.setdefault(lesson["row"], set())
        candidates = []
        for day, hour in all_slots:
            if lesson["prof"] and ("P", lesson["prof"], day, hour) in busy:
                continue
            if lesson["grupo"] and ("G", lesson["grupo"], day, hour) in busy:
                continue
            free_rooms = [r for r in lesson["rooms"] + rooms
                          if ("A", r, day, hour) not in busy]
            if not free_rooms:
                continue
            candidates.append((day in used_days, rng.random(), day, hour, free_rooms[0]))
        if not candidates:
            return None
        candidates.sort()
        _, _, day, hour, room = candidates[0]
        used_days.add(day)
        busy.update({("P", lesson["prof"], day, hour), ("G", lesson["grupo"], day, hour),
                     ("A", room, day, hour)})
        placed.append((lesson, day, hour, room))
    return placed


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    tables = sys.argv[1]
    out = sys.argv[2] if len(sys.argv) == 3 else os.path.dirname(os.path.abspath(__file__))

    assignments = read_table(tables, "ASIGT")
    subjects = {}
    for row in read_table(tables, "ASIGNOMT"):
        subjects.setdefault(row["COD"], row["NOMBRE"])
    room_rows = read_table(tables, "AULAT")
    rooms = [row["ABREV"] for row in room_rows]
    special = set()
    lessons = []
    for number, row in enumerate(assignments):
        name = subjects.get(row["CASIG"], "")
        wanted = []
        for words, room_word in SPECIAL_ROOMS:
            if any(word in name for word in words):
                wanted = [r["ABREV"] for r in room_rows if room_word in r["NOMBRE"]]
                break
        special.update(wanted)
        for _ in range(session_count(row["SESIONES"])):
            lessons.append({"row": number, "asig": row["CASIG"], "grupo": row["CGRUP"],
                            "prof": row["CPROF"], "rooms": wanted})
    ordinary_rooms = [r for r in rooms if r not in special] + [r for r in rooms if r in special]

    for seed in range(ATTEMPTS):
        placed = plan(lessons, ordinary_rooms, seed)
        if placed is not None:
            break
    else:
        sys.exit("No se ha encontrado un horario en %d intentos" % ATTEMPTS)
    placed.sort(key=lambda p: (p[1], p[2], p[0]["grupo"], p[0]["asig"]))

    for name in ("DIASHORAST.DBF", "SOLUC.DBF"):
        path = os.path.join(out, name)
        if os.path.exists(path):
            os.remove(path)

    days = dbf.Table(os.path.join(out, "DIASHORAST.DBF"),
                     "DIHO C(10); CODDIHO C(10); DIA C(20); TEXTODIA C(20); HORA C(8); "
                     "HORADESDE C(8); HORAHASTA C(8); MINUTOS C(8)",
                     dbf_type="db3", codepage="cp1252")
    days.open(dbf.READ_WRITE)
    for day, day_name, hours in DAYS:
        for hour in range(1, hours + 1):
            begin, end = HOURS[hour - 1]
            days.append(("%s %d" % (day_name[:2].upper(), hour), "%d%02d" % (day, hour),
                         str(day), day_name, str(hour), begin, end, "55"))
    days.close()

    solution = dbf.Table(os.path.join(out, "SOLUC.DBF"),
                         "DIA N(1,0); HORA N(2,0); SESIONES N(4,1); ASIG C(4); "
                         "CODGRUPO C(4); PROF C(4); AULA C(4); CODDIHO C(10)",
                         dbf_type="db3", codepage="cp1252")
    solution.open(dbf.READ_WRITE)
    for lesson, day, hour, room in placed:
        solution.append((day, hour, 1.0, lesson["asig"], lesson["grupo"], lesson["prof"],
                         room, "%d%02d" % (day, hour)))
    solution.close()
    print("%d sesiones colocadas en %d horas (semilla %d)" % (len(placed), len(slots()), seed))


if __name__ == "__main__":
    main()
