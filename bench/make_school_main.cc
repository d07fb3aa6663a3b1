// pontexa-make-school: writes a synthetic school for the benchmark.
//
//   pontexa-make-school exchange --k K [--seed S] FILE.xml
//       the exchange file of a school of scale K, as GEDU exports it;
//   pontexa-make-school horaplan --k K [--seed S] [--timetable planned|clashing] --dir DIR
//       what Horaplan adds for the same school: DIASHORAST.DBF and SOLUC.DBF in DIR,
//       coded like the catalogue tables that `pontexa-cli to-horaplan` wrote there;
//       SOLUC as a planner would make it, or (the default) full of clashes.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "exchange_writer.h"
#include "horaplan_tables.h"
#include "synthetic_school.h"

namespace {

constexpr char kUsage[] =
    "uso: pontexa-make-school exchange --k K [--seed S] ARCHIVO.xml\n"
    "     pontexa-make-school horaplan --k K [--seed S] [--timetable planned|clashing]\n"
    "                                  --dir CARPETA\n";

[[noreturn]] void UsageError(const std::string& why) {
  std::fprintf(stderr, "%s\n%s", why.c_str(), kUsage);
  std::exit(2);
}

long ParseNumber(std::string_view option, const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0) {
    UsageError(std::string(option) + " necesita un número entero no negativo");
  }
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) UsageError("Falta la orden");
  const std::string_view command = argv[1];
  if (command != "exchange" && command != "horaplan") {
    UsageError("Orden desconocida: " + std::string(command));
  }
  long k = 0;
  unsigned long long seed = 1;
  std::string dir;
  std::string file;
  pontexa::bench::Timetable timetable = pontexa::bench::Timetable::kClashing;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--k" && has_value) {
      k = ParseNumber(arg, argv[++i]);
    } else if (arg == "--seed" && has_value) {
      seed = static_cast<unsigned long long>(ParseNumber(arg, argv[++i]));
    } else if (arg == "--timetable" && has_value) {
      const std::string_view which = argv[++i];
      if (which == "planned") {
        timetable = pontexa::bench::Timetable::kPlanned;
      } else if (which != "clashing") {
        UsageError("--timetable espera planned o clashing");
      }
    } else if (arg == "--dir" && has_value) {
      dir = argv[++i];
    } else if (!arg.starts_with("--") && file.empty()) {
      file = arg;
    } else {
      UsageError("Argumento no válido: " + std::string(arg));
    }
  }
  if (k < 1 || k > 10000) UsageError("--k tiene que estar entre 1 y 10000");

  try {
    const pontexa::bench::School school = pontexa::bench::MakeSchool(static_cast<int>(k), seed);
    if (command == "exchange") {
      if (file.empty()) UsageError("Falta el archivo de intercambio");
      pontexa::bench::WriteExchangeFile(school, file);
      std::size_t assignments = 0;
      for (const auto& group : school.groups) assignments += group.assignments.size();
      std::printf("%zu asignaturas, %zu profesores, %zu aulas, %zu grupos, %zu asignaciones\n",
                  school.subjects.size(), school.teachers.size(), school.rooms.size(),
                  school.groups.size(), assignments);
    } else {
      if (dir.empty()) UsageError("Falta --dir");
      const std::size_t rows = pontexa::bench::WriteHoraplanTables(school, dir, timetable);
      std::printf("SOLUC: %zu filas\n", rows);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
