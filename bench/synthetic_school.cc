#include "synthetic_school.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string_view>

#include "random.h"

namespace pontexa::bench {
namespace {

constexpr int kDepartments = 16;
// The copies whose groups are named as in one school ("1 ESO A").
constexpr int kSchoolsWithPlainGroupNames = 100;

constexpr std::string_view kFirstNames[] = {
    "Juan",    "María",  "José",      "Carmen",   "Antonio", "Ana",        "Francisco", "Isabel",
    "Manuel",  "Lucía",  "David",     "Laura",    "Javier",  "Marta",      "Jesús",     "Cristina",
    "Ángel",   "Pilar",  "Raúl",      "Elena",    "Sergio",  "Inés",       "Álvaro",    "Beatriz",
    "Rubén",   "Begoña", "Óscar",     "Nuria",    "Íñigo",   "Rocío",      "Andrés",    "Sofía",
    "Adrián",  "Mónica", "Tomás",     "Noelia",   "Iván",    "Silvia",     "Joaquín",   "Ainhoa",
    "Ramón",   "Irene",  "Julián",    "Patricia", "Héctor",  "Lorena",     "Víctor",    "Raquel",
    "Agustín", "Susana", "Fermín",    "Yolanda",  "Nicolás", "Teresa",     "Germán",    "Ángela",
    "Rafael",  "Eva",    "Sebastián", "Verónica", "Emilio",  "Montserrat", "Gonzalo",   "Ximena"};

// Compound first names, which give three or four initials.
constexpr std::string_view kCompoundNames[] = {
    "María José",       "José Luis",   "Juan Antonio",     "Ana Belén",
    "María del Carmen", "José María",  "Francisco Javier", "María Ángeles",
    "Juan Carlos",      "María Jesús", "Luis Miguel",      "María de los Ángeles"};

constexpr std::string_view kSurnames[] = {
    "García",      "Fernández", "González", "Rodríguez", "López",        "Martínez",  "Sánchez",
    "Pérez",       "Gómez",     "Martín",   "Jiménez",   "Ruiz",         "Hernández", "Díaz",
    "Moreno",      "Muñoz",     "Álvarez",  "Romero",    "Alonso",       "Gutiérrez", "Navarro",
    "Torres",      "Domínguez", "Vázquez",  "Ramos",     "Gil",          "Ramírez",   "Serrano",
    "Blanco",      "Molina",    "Morales",  "Suárez",    "Ortega",       "Delgado",   "Castro",
    "Ortiz",       "Rubio",     "Marín",    "Sanz",      "Núñez",        "Iglesias",  "Medina",
    "Garrido",     "Cortés",    "Castillo", "Santos",    "Lozano",       "Guerrero",  "Cano",
    "Prieto",      "Méndez",    "Cruz",     "Calvo",     "Gallego",      "Vidal",     "León",
    "Márquez",     "Herrera",   "Peña",     "Flores",    "Cabrera",      "Campos",    "Vega",
    "Fuentes",     "Carrasco",  "Díez",     "Caballero", "Reyes",        "Nieto",     "Aguilar",
    "Pascual",     "Santana",   "Herrero",  "Lorenzo",   "Montero",      "Hidalgo",   "Giménez",
    "Ibáñez",      "Ferrer",    "Durán",    "Santiago",  "Benítez",      "Mora",      "Vicente",
    "Vargas",      "Arias",     "Carmona",  "Crespo",    "Román",        "Pastor",    "Soto",
    "Sáez",        "Velasco",   "Soler",    "Esteban",   "de la Fuente", "del Río",   "Echeverría",
    "Zubizarreta", "Ocaña"};

// For the copies after the first: two first names and two surnames for every
// letter, accented initials included, so that a teacher's initials are spread
// evenly. A district of a thousand schools has 120,000 teachers, and a
// teacher's code of four characters starts with two initials: each pair of
// initials has 100 codes, each first letter 900 more and all teachers share
// 9,000, so that 26 letters give at most 100,000 codes and 32 give 140,200.
constexpr std::string_view kFirstNamesByLetter[] = {
    "Ana",      "Adrián",  "Beatriz", "Bruno",    "Carmen",   "Carlos",  "David",   "Diana",
    "Elena",    "Emilio",  "Fátima",  "Fernando", "Gloria",   "Gonzalo", "Hugo",    "Helena",
    "Irene",    "Ismael",  "Julia",   "Jorge",    "Karim",    "Koldo",   "Laura",   "Luis",
    "Marta",    "Miguel",  "Nuria",   "Nicolás",  "Olga",     "Omar",    "Pilar",   "Pablo",
    "Quintín",  "Quique",  "Raquel",  "Rubén",    "Sara",     "Sergio",  "Teresa",  "Tomás",
    "Unai",     "Uxue",    "Vera",    "Víctor",   "Wenceslao", "Wilma",  "Xabier",  "Xenia",
    "Yolanda",  "Yago",    "Zoe",     "Zacarías", "Álvaro",  "Ángela",  "Érica",   "Élida",
    "Íñigo",    "Ícaro",   "Óscar",   "Óliver",   "Úrsula",  "Úrsulo",  "Ñuflo",   "Ñuño"};

constexpr std::string_view kSurnamesByLetter[] = {
    "Alonso",    "Arias",     "Blanco",   "Bravo",    "Castro",   "Cano",      "Díaz",
    "Durán",     "Esteban",   "Escobar",  "Fernández", "Flores",  "García",    "Gil",
    "Herrera",   "Hidalgo",   "Iglesias", "Ibarra",   "Jiménez",  "Juárez",    "Kortazar",
    "Krause",    "López",     "León",     "Martínez", "Molina",   "Navarro",   "Núñez",
    "Ortega",    "Ortiz",     "Pérez",    "Prieto",   "Quintana", "Quiroga",   "Ruiz",
    "Ramos",     "Sánchez",   "Soto",     "Torres",   "Toledo",   "Urrutia",   "Uriarte",
    "Vázquez",   "Vidal",     "Wagner",   "Walker",   "Ximénez",  "Xirau",     "Yáñez",
    "Yuste",     "Zamora",    "Zapata",   "Álvarez",  "Ávila",    "Écija",     "Égara",
    "Íñiguez",   "Ísaba",     "Óvalle",   "Ólvega",   "Úbeda",    "Úrbez",     "Ñíguez",
    "Ñúñez"};

constexpr std::string_view kEsoMatters[] = {"Lengua Castellana y Literatura",
                                            "Matemáticas",
                                            "Inglés",
                                            "Geografía e Historia",
                                            "Biología y Geología",
                                            "Física y Química",
                                            "Educación Física",
                                            "Música",
                                            "Tecnología y Digitalización",
                                            "Educación Plástica, Visual y Audiovisual",
                                            "Religión Católica",
                                            "Atención Educativa",
                                            "Francés",
                                            "Alemán",
                                            "Cultura Clásica",
                                            "Latín",
                                            "Economía y Emprendimiento",
                                            "Expresión Artística",
                                            "Formación y Orientación Personal y Profesional",
                                            "Digitalización",
                                            "Oratoria y Debate",
                                            "Programación y Robótica",
                                            "Taller de Teatro",
                                            "Refuerzo de Matemáticas",
                                            "Refuerzo de Lengua",
                                            "Ámbito Científico-Tecnológico",
                                            "Ámbito Lingüístico y Social",
                                            "Educación en Valores Cívicos y Éticos",
                                            "Tutoría",
                                            "Proyecto Interdisciplinar",
                                            "Filosofía",
                                            "Computación y Robótica"};

constexpr std::string_view kBachMatters[] = {"Lengua Castellana y Literatura",
                                             "Filosofía",
                                             "Historia de la Filosofía",
                                             "Historia de España",
                                             "Inglés",
                                             "Educación Física",
                                             "Matemáticas",
                                             "Matemáticas Aplicadas a las Ciencias Sociales",
                                             "Física",
                                             "Química",
                                             "Física y Química",
                                             "Biología",
                                             "Geología y Ciencias Ambientales",
                                             "Biología, Geología y Ciencias Ambientales",
                                             "Dibujo Técnico",
                                             "Tecnología e Ingeniería",
                                             "Latín",
                                             "Griego",
                                             "Economía",
                                             "Empresa y Diseño de Modelos de Negocio",
                                             "Historia del Mundo Contemporáneo",
                                             "Geografía",
                                             "Historia del Arte",
                                             "Literatura Universal",
                                             "Francés",
                                             "Alemán",
                                             "Religión Católica",
                                             "Anatomía Aplicada",
                                             "Tecnologías de la Información y la Comunicación",
                                             "Psicología",
                                             "Dibujo Artístico",
                                             "Cultura Audiovisual",
                                             "Tutoría"};

constexpr std::string_view kCfgmMatters[] = {"Montaje y Mantenimiento de Equipos",
                                             "Sistemas Operativos Monopuesto",
                                             "Aplicaciones Ofimáticas",
                                             "Sistemas Operativos en Red",
                                             "Redes Locales",
                                             "Seguridad Informática",
                                             "Servicios en Red",
                                             "Aplicaciones Web",
                                             "Formación y Orientación Laboral",
                                             "Empresa e Iniciativa Emprendedora",
                                             "Inglés Profesional",
                                             "Itinerario Personal para la Empleabilidad",
                                             "Digitalización Aplicada al Sistema Productivo",
                                             "Sostenibilidad Aplicada al Sistema Productivo",
                                             "Comunicación Empresarial y Atención al Cliente",
                                             "Operaciones Administrativas de Compraventa",
                                             "Empresa y Administración",
                                             "Tratamiento Informático de la Información",
                                             "Técnica Contable",
                                             "Operaciones Administrativas de Recursos Humanos",
                                             "Tratamiento de la Documentación Contable",
                                             "Operaciones Auxiliares de Gestión de Tesorería",
                                             "Electrotecnia",
                                             "Instalaciones Eléctricas Interiores",
                                             "Instalaciones de Distribución",
                                             "Infraestructuras Comunes de Telecomunicación",
                                             "Instalaciones Domóticas",
                                             "Instalaciones Solares Fotovoltaicas",
                                             "Máquinas Eléctricas",
                                             "Electrónica",
                                             "Proyecto Intermodular",
                                             "Formación en Centros de Trabajo"};

constexpr std::string_view kCfgsMatters[] = {
    "Sistemas Informáticos",
    "Bases de Datos",
    "Programación",
    "Lenguajes de Marcas y Sistemas de Gestión de Información",
    "Entornos de Desarrollo",
    "Desarrollo Web en Entorno Cliente",
    "Desarrollo Web en Entorno Servidor",
    "Despliegue de Aplicaciones Web",
    "Diseño de Interfaces Web",
    "Acceso a Datos",
    "Desarrollo de Interfaces",
    "Programación Multimedia y Dispositivos Móviles",
    "Programación de Servicios y Procesos",
    "Sistemas de Gestión Empresarial",
    "Implantación de Sistemas Operativos",
    "Planificación y Administración de Redes",
    "Fundamentos de Hardware",
    "Gestión de Bases de Datos",
    "Administración de Sistemas Operativos",
    "Servicios de Red e Internet",
    "Implantación de Aplicaciones Web",
    "Administración de Sistemas Gestores de Bases de Datos",
    "Seguridad y Alta Disponibilidad",
    "Formación y Orientación Laboral",
    "Empresa e Iniciativa Emprendedora",
    "Inglés Profesional",
    "Itinerario Personal para la Empleabilidad",
    "Digitalización Aplicada al Sistema Productivo",
    "Sostenibilidad Aplicada al Sistema Productivo",
    "Proyecto Intermodular",
    "Formación en Centros de Trabajo",
    "Ciberseguridad"};

constexpr std::string_view kSpecialRooms[] = {"Laboratorio de Física",
                                              "Laboratorio de Química",
                                              "Laboratorio de Biología",
                                              "Taller de Tecnología",
                                              "Aula de Informática 1",
                                              "Aula de Informática 2",
                                              "Aula de Música",
                                              "Aula de Plástica",
                                              "Gimnasio",
                                              "Biblioteca",
                                              "Salón de Actos",
                                              "Aula de Desdoble"};

// The ten courses of a copy; each has 30 subjects of its own.
struct Course {
  int year;
  std::string_view level;
  int groups;  // groups of this course in one copy
};
constexpr std::array<Course, 10> kCourses = {{{1, "ESO", 7},
                                              {2, "ESO", 7},
                                              {3, "ESO", 7},
                                              {4, "ESO", 7},
                                              {1, "BACH", 6},
                                              {2, "BACH", 6},
                                              {1, "CFGM", 5},
                                              {2, "CFGM", 5},
                                              {1, "CFGS", 5},
                                              {2, "CFGS", 5}}};
constexpr int kSubjectsPerCourse = kSubjectsPerCopy / static_cast<int>(kCourses.size());

template <std::size_t N>
std::string_view Pick(Rng& rng, const std::string_view (&list)[N]) {
  return list[rng.Below(static_cast<int>(N))];
}

std::string Numbered(std::string_view prefix, long number, int digits) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*ld", digits, number);
  return std::string(prefix) + buffer;
}

// Weekly hours as GEDU writes them: mostly whole numbers, a few halves, and now
// and then a subject without hours.
std::string DrawHours(Rng& rng) {
  const int draw = rng.Below(100);
  if (draw < 38) return "1";
  if (draw < 76) return "2";
  if (draw < 90) return "3";
  if (draw < 95) return "4";
  if (draw < 97) return "1.5";
  if (draw < 99) return "2.5";
  return "";
}

// A first name and a surname with initials drawn evenly.
std::string PersonName(Rng& rng) {
  std::string name(Pick(rng, kFirstNamesByLetter));
  name += ' ';
  name += Pick(rng, kSurnamesByLetter);
  return name;
}

// A teacher of a copy after the first, with initials drawn evenly.
std::string VariedTeacherName(Rng& rng) {
  std::string name = PersonName(rng);
  name += ' ';
  name += Pick(rng, kSurnamesByLetter);
  return name;
}

std::string TeacherName(Rng& rng) {
  std::string name(rng.Chance(12) ? Pick(rng, kCompoundNames) : Pick(rng, kFirstNames));
  name += ' ';
  name += Pick(rng, kSurnames);
  name += ' ';
  name += Pick(rng, kSurnames);
  return name;
}

std::span<const std::string_view> MattersOf(std::string_view level) {
  if (level == "ESO") return kEsoMatters;
  if (level == "BACH") return kBachMatters;
  if (level == "CFGM") return kCfgmMatters;
  return kCfgsMatters;
}

}  // namespace

int LessonsPerWeek(const Subject& subject) {
  if (subject.hours.empty()) return 4;
  return static_cast<int>(std::ceil(std::stod(subject.hours)));
}

School MakeSchool(int k, std::uint64_t seed) {
  if (k < 1) throw std::invalid_argument("k tiene que ser 1 o más");
  School school;
  school.k = k;
  school.seed = seed;
  Rng rng(seed);

  long subject_number = 2300101;
  long teacher_number = 180040117;
  long group_number = 23240101;

  // Subjects of all copies come first in the file, then teachers, rooms and groups;
  // the entities of copy c are the c-th block of each list.
  for (int copy = 0; copy < k; ++copy) {
    for (std::size_t c = 0; c < kCourses.size(); ++c) {
      const Course& course = kCourses[c];
      const auto matters = MattersOf(course.level);
      // Thirty of the level's matters, in a shuffled order.
      std::vector<int> order(matters.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
      for (std::size_t i = order.size() - 1; i > 0; --i) {
        std::swap(order[i], order[rng.Below(static_cast<int>(i) + 1)]);
      }
      for (int i = 0; i < kSubjectsPerCourse; ++i) {
        Subject subject;
        subject_number += 1 + rng.Below(3);
        subject.id = Numbered("ASG", subject_number, 7);
        subject.name = std::string(matters[order[i]]) + " " + std::to_string(course.year) + ".º " +
                       std::string(course.level);
        subject.hours = DrawHours(rng);
        subject.department = (order[i] + static_cast<int>(c) * 3) % kDepartments;
        school.subjects.push_back(std::move(subject));
      }
    }
  }

  for (int copy = 0; copy < k; ++copy) {
    for (int i = 0; i < kTeachersPerCopy; ++i) {
      Teacher teacher;
      teacher_number += 1 + rng.Below(16);
      teacher.id = std::to_string(teacher_number);
      // The first copy keeps the names it always had, so that the smallest
      // school, whose files give the benchmark's digests, stays as it was.
      teacher.name = copy == 0 ? TeacherName(rng) : VariedTeacherName(rng);
      teacher.department = i % kDepartments;
      school.teachers.push_back(std::move(teacher));
    }
  }

  int room_number = 0;
  for (int copy = 0; copy < k; ++copy) {
    // 28 classrooms on four floors, then the special rooms. The classrooms of
    // the copies after the first bear a person's name, as many schools' do:
    // a room's code, too, starts with two initials, and 28,000 rooms named
    // "Aula" would share the codes of one letter.
    for (int floor = 0; floor < 4; ++floor) {
      for (int n = 1; n <= 7; ++n) {
        const std::string place = std::to_string(floor) + "." + std::to_string(n);
        school.rooms.push_back({Numbered("AU", ++room_number, 5),
                                copy == 0 ? "Aula " + place : PersonName(rng) + " " + place});
      }
    }
    for (std::string_view name : kSpecialRooms) {
      school.rooms.push_back({Numbered("AU", ++room_number, 5), std::string(name)});
    }
  }

  for (int copy = 0; copy < k; ++copy) {
    const int first_subject = copy * kSubjectsPerCopy;
    const int first_teacher = copy * kTeachersPerCopy;
    // Past the hundredth copy, a group's name starts with its school's:
    // Horaplan's group code starts with the name's first three initials, and
    // beyond some 20,000 groups whose names start with the course's digit no
    // code of four characters is left. Such a name gives Horaplan its school's
    // initial as the course and a level cut to five characters.
    const std::string school_name = copy >= kSchoolsWithPlainGroupNames ? PersonName(rng) + " " : "";
    int group_in_copy = 0;
    for (std::size_t c = 0; c < kCourses.size(); ++c) {
      const Course& course = kCourses[c];
      for (int g = 0; g < course.groups; ++g) {
        Group group;
        group_number += 1 + rng.Below(4);
        group.id = std::to_string(group_number);
        const std::string year = std::to_string(course.year);
        const std::string level(course.level);
        // The last ESO group of the third and fourth year is a diversification group.
        if (level == "ESO" && course.year >= 3 && g == course.groups - 1) {
          group.name = school_name + year + " ESO DIVER A";
        } else {
          group.name =
              school_name + year + " " + level + " " + std::string(1, static_cast<char>('A' + g));
        }
        group.copy = copy;
        group.home_room = copy * kRoomsPerCopy + group_in_copy % 28;

        // The course's subjects, a few of them left out, and up to two options of the
        // neighbouring course of the same level.
        std::vector<int> subjects;
        const int own = first_subject + static_cast<int>(c) * kSubjectsPerCourse;
        for (int i = 0; i < kSubjectsPerCourse; ++i) {
          if (!rng.Chance(5)) subjects.push_back(own + i);
        }
        const int neighbour_course =
            course.year == 1 ? static_cast<int>(c) + 1 : static_cast<int>(c) - 1;
        const int neighbour = first_subject + neighbour_course * kSubjectsPerCourse;
        for (int extra = rng.Below(3); extra > 0; --extra) {
          subjects.push_back(neighbour + rng.Below(kSubjectsPerCourse));
        }

        for (int subject : subjects) {
          Assignment assignment;
          assignment.subject = subject;
          // The first teacher comes from the subject's department, a second one
          // (support or split group) from anywhere in the school.
          const int department = school.subjects[subject].department;
          const int per_department = kTeachersPerCopy / kDepartments;
          int teacher = first_teacher + department + kDepartments * rng.Below(per_department);
          assignment.teachers.push_back(teacher);
          if (rng.Chance(20)) {
            int second = first_teacher + rng.Below(kTeachersPerCopy);
            if (second == teacher)
              second = first_teacher + (second - first_teacher + 1) % kTeachersPerCopy;
            assignment.teachers.push_back(second);
          }
          group.assignments.push_back(std::move(assignment));
        }
        school.groups.push_back(std::move(group));
        ++group_in_copy;
      }
    }
  }
  return school;
}

}  // namespace pontexa::bench
