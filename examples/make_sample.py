#!/usr/bin/python3
"""Writes instituto.xml: the exchange file of a small secondary school.

Four courses of ESO with three groups each, the subjects of every course with
their weekly hours, the teaching staff, the rooms, and for every group its
subjects with the teachers who give them. Everything is fixed: running the
script again writes the same file byte for byte.

Usage: /usr/bin/python3 examples/make_sample.py [OUTPUT]
"""

import os
import sys
from xml.sax.saxutils import escape, quoteattr

# Teachers: (id, name). No two share the first two initials, which become their
# codes in Horaplan, so the sample converts without any renamed code.
TEACHERS = [
    ("180040117", "Juan Pérez López"),
    ("180040125", "María José Fernández Ruiz"),
    ("180040133", "Carmen Gómez Sánchez"),
    ("180040141", "Antonio Martín Díaz"),
    ("180040158", "Lucía Navarro Ortega"),
    ("180040166", "Javier Romero Gil"),
    ("180040174", "Isabel Muñoz Torres"),
    ("180040182", "Francisco Javier Álvarez Castro"),
    ("180040190", "Ana Belén Jiménez Molina"),
    ("180040208", "Manuel Rodríguez Peña"),
    ("180040216", "Pilar Serrano Vázquez"),
    ("180040224", "José Luis Herrera Ramos"),
    ("180040232", "Elena Castillo Morales"),
    ("180040240", "David Ortiz Delgado"),
    ("180040257", "Rocío Domínguez Marín"),
    ("180040265", "Miguel Ángel Rubio Sanz"),
    ("180040273", "Cristina Núñez Iglesias"),
    ("180040281", "Pablo Medina Garrido"),
    ("180040299", "Teresa Cortés León"),
    ("180040307", "Sergio Prieto Calvo"),
    ("180040315", "Nuria Vidal Campos"),
    ("180040323", "Alberto Fuentes Cano"),
    ("180040331", "Beatriz Lozano Guerrero"),
    ("180040349", "Jorge Méndez Cabrera"),
    ("180040356", "Noelia Reyes Flores"),
    ("180040364", "Raúl Santos Herrero"),
    ("180040372", "Rosa Pascual Gallego"),
    ("180040380", "Lorena Pardo Benítez"),
    ("180040398", "Óscar Aguilar Vega"),
    ("180040406", "Inmaculada Caballero Nieto"),
]

# Rooms: (id, name).
LOCATIONS = [
    ("AU0101", "Aula A"),
    ("AU0102", "Aula B"),
    ("AU0103", "Aula C"),
    ("AU0201", "Aula D"),
    ("AU0202", "Aula E"),
    ("AU0203", "Aula F"),
    ("AU0301", "Aula G"),
    ("AU0302", "Aula H"),
    ("AU0303", "Aula I"),
    ("AU0401", "Música"),
    ("AU0402", "Estudio de Plástica"),
    ("LB0101", "Laboratorio de Ciencias"),
    ("LB0102", "Taller de Tecnología"),
    ("IN0101", "Sala de Informática"),
    ("GI0101", "Gimnasio"),
]

# Subjects of each course: (name, weekly hours, department). The department
# picks the teachers below. Each is named as GEDU names it, with its course
# last ("Música 1.º ESO"): the same subject in four courses shares the five
# first characters Horaplan's long code takes, so its codes get numbers, and
# the longest names are cut to the 40 characters of their field. Both only
# change how the names look in Horaplan (notas in the report).
COURSE_SUBJECTS = {
    1: [
        ("Lengua Castellana y Literatura", "4", "LEN"),
        ("Matemáticas", "4", "MAT"),
        ("Inglés", "4", "ING"),
        ("Geografía e Historia", "3", "GEH"),
        ("Biología y Geología", "3", "BIO"),
        ("Educación Física", "2", "EF"),
        ("Música", "2", "MUS"),
        ("Educación Plástica, Visual y Audiovisual", "2", "PLA"),
        ("Tecnología y Digitalización", "2", "TEC"),
        ("Tutoría", "1", "TUT"),
    ],
    2: [
        ("Lengua Castellana y Literatura", "4", "LEN"),
        ("Matemáticas", "4", "MAT"),
        ("Inglés", "4", "ING"),
        ("Geografía e Historia", "3", "GEH"),
        ("Física y Química", "3", "FQ"),
        ("Educación Física", "2", "EF"),
        ("Música", "2", "MUS"),
        ("Tecnología y Digitalización", "2", "TEC"),
        ("Francés", "2", "FRA"),
        ("Tutoría", "1", "TUT"),
    ],
    3: [
        ("Lengua Castellana y Literatura", "4", "LEN"),
        ("Matemáticas", "4", "MAT"),
        ("Inglés", "3", "ING"),
        ("Geografía e Historia", "3", "GEH"),
        ("Biología y Geología", "2", "BIO"),
        ("Física y Química", "2", "FQ"),
        ("Educación Física", "2", "EF"),
        ("Valores Cívicos y Éticos", "1", "FIL"),
        ("Tecnología y Digitalización", "2", "TEC"),
        ("Proyecto de Ciencias", "1.5", "BIO"),
    ],
    4: [
        ("Lengua Castellana y Literatura", "4", "LEN"),
        ("Matemáticas A", "4", "MAT"),
        ("Inglés", "4", "ING"),
        ("Geografía e Historia", "3", "GEH"),
        ("Educación Física", "2", "EF"),
        ("Física y Química", "3", "FQ"),
        ("Biología y Geología", "3", "BIO"),
        ("Economía y Emprendimiento", "3", "ECO"),
        ("Digitalización", "3", "TEC"),
        ("Latín", "3", "LAT"),
    ],
}

# Teachers of each department, by their position in TEACHERS.
DEPARTMENTS = {
    "LEN": [0, 9, 27],
    "MAT": [1, 10, 20],
    "ING": [2, 11, 21],
    "GEH": [3, 12],
    "BIO": [4, 22],
    "FQ": [13, 23],
    "EF": [5, 14],
    "MUS": [6],
    "PLA": [15],
    "TEC": [7, 16],
    "FRA": [17],
    "FIL": [18],
    "ECO": [19],
    "LAT": [24],
    # Tutors: one per group, below.
    "TUT": [],
}

# The tutor of each group teaches its tutoring hour.
TUTORS = [25, 26, 28, 29, 0, 1, 2, 3, 4, 5, 6, 7]

LETTERS = ["A", "B", "C"]


def subject_id(course, index):
    return "ASG%d%05d" % (23, course * 100 + index + 1)


def group_id(course, letter_index):
    return "2324%02d%02d" % (course, letter_index + 1)


def teachers_for(course, letter_index, dept, subject_index):
    if dept == "TUT":
        return [TUTORS[(course - 1) * 3 + letter_index]]
    staff = DEPARTMENTS[dept]
    chosen = [staff[(course + letter_index + subject_index) % len(staff)]]
    # Science projects in 3 ESO are taught in pairs (two teachers in the lab).
    if course == 3 and COURSE_SUBJECTS[course][subject_index][0].startswith("Proyecto"):
        chosen.append(DEPARTMENTS["FQ"][letter_index % len(DEPARTMENTS["FQ"])])
    return chosen


def main():
    out_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "instituto.xml")
    lines = ['<?xml version="1.0" encoding="UTF-8"?>']
    lines.append('<document centro="IES Río Guadiana" curso-academico="2023-2024">')

    lines.append("  <subjects>")
    for course, subjects in COURSE_SUBJECTS.items():
        for index, (name, hours, _) in enumerate(subjects):
            lines.append("    <subject id=%s name=%s hours=%s/>" % (
                quoteattr(subject_id(course, index)),
                quoteattr("%s %d.º ESO" % (name, course)), quoteattr(hours)))
    lines.append("  </subjects>")

    lines.append("  <teachers>")
    for tid, name in TEACHERS:
        lines.append("    <teacher id=%s>%s</teacher>" % (quoteattr(tid), escape(name)))
    lines.append("  </teachers>")

    lines.append("  <locations>")
    for lid, name in LOCATIONS:
        lines.append("    <location id=%s>%s</location>" % (quoteattr(lid), escape(name)))
    lines.append("  </locations>")

    lines.append("  <groups>")
    for course, subjects in COURSE_SUBJECTS.items():
        for letter_index, letter in enumerate(LETTERS):
            lines.append("    <group id=%s name=%s>" % (
                quoteattr(group_id(course, letter_index)),
                quoteattr("%d ESO %s" % (course, letter))))
            lines.append("      <assigned-subjects>")
            for index, (_, _, dept) in enumerate(subjects):
                lines.append("        <assigned-subject id=%s>" %
                             quoteattr(subject_id(course, index)))
                lines.append("          <assigned-teachers>")
                for t in teachers_for(course, letter_index, dept, index):
                    lines.append("            <assigned-teacher id=%s/>" %
                                 quoteattr(TEACHERS[t][0]))
                lines.append("          </assigned-teachers>")
                lines.append("        </assigned-subject>")
            lines.append("      </assigned-subjects>")
            lines.append("    </group>")
    lines.append("  </groups>")
    lines.append("</document>")

    with open(out_path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
