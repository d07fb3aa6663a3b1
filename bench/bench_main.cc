// pontexa-bench: times both conversions of pontexa-cli on synthetic schools of
// scale k, against the floor for the same data, and prints one table.
//
//   pontexa-bench [--k 1,10,100] [--reps 5] [--seed 1] [--work DIR] [--keep]
//                 [--cli PATH] [--make-school PATH] [--floor PATH]
//
// For each k: writes the school's exchange file; runs `to-horaplan` on it (one
// warm-up run, then --reps timed runs); plays Horaplan by adding DIASHORAST and
// SOLUC coded like the tables just written, SOLUC as a planner would make it
// (no teacher or room twice in one slot, a few lessons unplaced); runs
// `to-gedu` the same way, each run on a fresh copy of the exchange file;
// times, on its own, the check that to-gedu makes of the file it has written
// before that file replaces the exchange file; and
// runs the floor program on the same files. Up to k = 100 it also runs
// `to-gedu` on the clash-ridden SOLUC of the first generator (the stress row,
// with hundreds of thousands of findings), and the tree floor. Times are
// medians of wall-clock time and the best processor time of the timed runs;
// peak memory is the largest of the timed runs. The digests of the smallest k
// are those of the first generator's inputs and outputs. The conversions run
// under LC_ALL=es_ES.UTF-8 (decimal comma), so that the output does not depend
// on the caller's locale.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "horaplan_tables.h"
#include "process.h"
#include "sha256.h"

namespace fs = std::filesystem;
using pontexa::bench::Measurement;

namespace {

constexpr char kUsage[] =
    "uso: pontexa-bench [--k 1,10,100] [--reps 5] [--seed 1] [--work CARPETA] [--keep]\n"
    "                   [--cli RUTA] [--make-school RUTA] [--floor RUTA]\n";

const std::vector<std::string> kConversionEnvironment = {"LC_ALL=es_ES.UTF-8"};

// The tables each conversion writes or reads.
const std::vector<std::string> kHoraplanOutputs = {"ASIGNOMT", "PROFT", "AULAT",
                                                   "GRUPOST",  "ASIGT", "DIASHORAST"};
const std::vector<std::string> kCatalogues = {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST"};
const std::vector<std::string> kGeduInputs = {"DIASHORAST", "SOLUC", "ASIGNOMT",
                                              "PROFT",      "AULAT", "GRUPOST"};

struct Options {
  std::vector<int> ks = {1, 10, 100};
  int reps = 5;
  unsigned long long seed = 1;
  fs::path work;
  bool keep = false;
  std::string cli = PONTEXA_BENCH_CLI;
  std::string make_school = PONTEXA_BENCH_MAKE_SCHOOL;
  std::string floor = PONTEXA_BENCH_FLOOR;
  std::string guard = PONTEXA_BENCH_GUARD;
};

struct Stats {
  bool measured = false;
  double wall = 0;  // median
  double cpu = 0;   // best
  long peak_rss_kib = 0;
};

// The largest k at which the stress row and the tree floor are measured: past
// it they take minutes and gigabytes and show nothing new.
constexpr int kLargestFullK = 100;

struct Row {
  int k = 0;
  std::string conversion;
  std::uintmax_t input_bytes = 0;
  std::uintmax_t output_bytes = 0;
  std::uintmax_t exchange_bytes = 0;  // the exchange file read
  Stats run;
  Stats floor;   // libxml2 building and saving a tree
  Stats stream;  // libxml2's streaming reader, and the output's bytes written
};

[[noreturn]] void UsageError(const std::string& why) {
  std::fprintf(stderr, "%s\n%s", why.c_str(), kUsage);
  std::exit(2);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One warm-up run, then `reps` timed runs; `prepare` runs untimed before each.
Stats Measure(const std::string& label, const std::vector<std::string>& argv, int reps,
              const std::function<void()>& prepare = {}) {
  std::vector<double> walls;
  std::vector<double> cpus;
  Stats stats;
  for (int i = 0; i <= reps; ++i) {
    std::fprintf(stderr, "\r  %s: %s %d/%d   ", label.c_str(), i == 0 ? "calentamiento" : "medida",
                 i, reps);
    std::fflush(stderr);
    if (prepare) prepare();
    const Measurement m = pontexa::bench::RunMeasured(argv, kConversionEnvironment);
    if (i == 0) continue;
    walls.push_back(m.wall_seconds);
    cpus.push_back(m.cpu_seconds);
    stats.peak_rss_kib = std::max(stats.peak_rss_kib, m.peak_rss_kib);
  }
  std::fprintf(stderr, "\r  %s: %.3f s%30s\n", label.c_str(), Median(walls), "");
  stats.measured = true;
  stats.wall = Median(walls);
  stats.cpu = *std::min_element(cpus.begin(), cpus.end());
  return stats;
}

std::vector<fs::path> Tables(const fs::path& directory, const std::vector<std::string>& names) {
  std::vector<fs::path> paths;
  for (const std::string& name : names) paths.push_back(pontexa::bench::TableFile(directory, name));
  return paths;
}

std::uintmax_t TotalSize(const std::vector<fs::path>& paths) {
  std::uintmax_t total = 0;
  for (const fs::path& path : paths) total += fs::file_size(path);
  return total;
}

std::string Size(double bytes) {
  char text[32];
  if (bytes < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024);
  } else {
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024 * 1024));
  }
  return text;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, seconds < 10 ? "%.3f s" : "%.1f s", seconds);
  return text;
}

std::string Maybe(const Stats& stats, const std::string& text) {
  return stats.measured ? text : "-";
}

std::string Ratio(double a, double b) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", b > 0 ? a / b : 0.0);
  return text;
}

std::vector<int> ParseKs(const char* text) {
  std::vector<int> ks;
  std::string_view rest(text);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string part(rest.substr(0, comma));
    char* end = nullptr;
    const long k = std::strtol(part.c_str(), &end, 10);
    if (part.empty() || *end != '\0' || k < 1 || k > 10000) {
      UsageError("--k espera valores de 1 a 10000 separados por comas");
    }
    ks.push_back(static_cast<int>(k));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  if (ks.empty()) UsageError("--k está vacío");
  return ks;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--keep") {
      options.keep = true;
      continue;
    }
    if (i + 1 >= argc) UsageError("Falta el valor de " + std::string(arg));
    const char* value = argv[++i];
    if (arg == "--k") {
      options.ks = ParseKs(value);
    } else if (arg == "--reps") {
      options.reps = std::atoi(value);
      if (options.reps < 1) UsageError("--reps tiene que ser 1 o más");
    } else if (arg == "--seed") {
      options.seed = std::strtoull(value, nullptr, 10);
    } else if (arg == "--work") {
      options.work = value;
    } else if (arg == "--cli") {
      options.cli = value;
    } else if (arg == "--make-school") {
      options.make_school = value;
    } else if (arg == "--floor") {
      options.floor = value;
    } else {
      UsageError("Argumento no válido: " + std::string(arg));
    }
  }
  if (options.cli.empty()) UsageError("No se ha compilado pontexa-cli: indique --cli RUTA");
  return options;
}

fs::path MakeWorkDirectory() {
  std::string pattern = (fs::temp_directory_path() / "pontexa-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("No se puede crear la carpeta de trabajo " + pattern);
  }
  return pattern;
}

// The row count of a dBase header, read without loading the table: the driver
// stays small (see RunMeasured).
std::size_t RowCountOf(const fs::path& table) {
  std::ifstream file(table, std::ios::binary);
  unsigned char header[8] = {};
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) {
    throw std::runtime_error("No se puede leer " + table.string());
  }
  return header[4] | (header[5] << 8) | (header[6] << 16) | (std::size_t{header[7]} << 24);
}

struct Hash {
  std::string label;
  std::string digest;
};

void PrintTable(const std::vector<Row>& rows) {
  const std::vector<std::string> header = {
      "k",         "conversión", "entrada", "salida",    "tiempo", "flujo",     "t/flujo",  "cpu",
      "cpu flujo", "cpu/flujo",  "RSS máx", "RSS flujo", "suelo",  "cpu/suelo", "RSS suelo"};
  std::vector<std::vector<std::string>> cells;
  for (const Row& row : rows) {
    cells.push_back({std::to_string(row.k), row.conversion, Size(row.input_bytes),
                     Size(row.output_bytes), Seconds(row.run.wall), Seconds(row.stream.wall),
                     Ratio(row.run.wall, row.stream.wall), Seconds(row.run.cpu),
                     Seconds(row.stream.cpu), Ratio(row.run.cpu, row.stream.cpu),
                     Size(row.run.peak_rss_kib * 1024.0), Size(row.stream.peak_rss_kib * 1024.0),
                     Maybe(row.floor, Seconds(row.floor.wall)),
                     Maybe(row.floor, Ratio(row.run.cpu, row.floor.cpu)),
                     Maybe(row.floor, Size(row.floor.peak_rss_kib * 1024.0))});
  }
  // Column widths in characters (the header has two-byte letters).
  const auto width = [](const std::string& s) {
    return static_cast<int>(
        std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  };
  std::vector<int> widths(header.size());
  for (std::size_t c = 0; c < header.size(); ++c) {
    widths[c] = width(header[c]);
    for (const auto& line : cells) widths[c] = std::max(widths[c], width(line[c]));
  }
  const auto print_line = [&](const std::vector<std::string>& line) {
    std::string out = "|";
    for (std::size_t c = 0; c < line.size(); ++c) {
      const std::string pad(widths[c] - width(line[c]), ' ');
      // Text columns to the left, figures to the right.
      out += ' ' + (c == 1 ? line[c] + pad : pad + line[c]) + " |";
    }
    std::printf("%s\n", out.c_str());
  };
  print_line(header);
  std::string rule = "|";
  for (int w : widths) rule += std::string(w + 2, '-') + "|";
  std::printf("%s\n", rule.c_str());
  for (const auto& line : cells) print_line(line);
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseOptions(argc, argv);
  std::sort(options.ks.begin(), options.ks.end());
  options.ks.erase(std::unique(options.ks.begin(), options.ks.end()), options.ks.end());

  try {
    const bool own_work = options.work.empty();
    const fs::path work = own_work ? MakeWorkDirectory() : options.work;
    fs::create_directories(work);

    std::vector<Row> rows;
    std::vector<Hash> hashes;
    std::vector<std::string> data_lines;
    const std::string seed = std::to_string(options.seed);

    for (int k : options.ks) {
      std::fprintf(stderr, "k=%d\n", k);
      const bool full = k <= kLargestFullK;
      const fs::path dir = work / ("k" + std::to_string(k));
      const fs::path horaplan = dir / "horaplan";
      const fs::path gedu = dir / "gedu";
      const fs::path stress = dir / "choques";
      const fs::path scratch = dir / "suelo";
      fs::remove_all(dir);
      for (const fs::path& d : {horaplan, gedu, stress, scratch}) fs::create_directories(d);
      const fs::path exchange = dir / "intercambio.xml";
      const fs::path written = gedu / "intercambio.xml";
      const fs::path stress_written = stress / "intercambio.xml";
      const std::string ks = std::to_string(k);

      const Measurement made = pontexa::bench::RunMeasured(
          {options.make_school, "exchange", "--k", ks, "--seed", seed, exchange.string()}, {});

      Row to_horaplan;
      to_horaplan.k = k;
      to_horaplan.conversion = "to-horaplan";
      to_horaplan.run =
          Measure("to-horaplan",
                  {options.cli, "to-horaplan", exchange.string(), "--dir", horaplan.string()},
                  options.reps);
      const std::vector<fs::path> horaplan_outputs = Tables(horaplan, kHoraplanOutputs);

      // Horaplan's side: the catalogues just written, with its day-and-hour
      // table and a timetable, planned or clash-ridden.
      const auto play_horaplan = [&](const fs::path& folder, const char* timetable) {
        for (const fs::path& table : Tables(horaplan, kCatalogues)) {
          fs::copy_file(table, folder / table.filename(), fs::copy_options::overwrite_existing);
        }
        return pontexa::bench::RunMeasured(
            {options.make_school, "horaplan", "--k", ks, "--seed", seed, "--timetable", timetable,
             "--dir", folder.string()},
            {});
      };
      const Measurement played = play_horaplan(gedu, "planned");
      if (full) play_horaplan(stress, "clashing");
      const std::vector<fs::path> gedu_inputs = Tables(gedu, kGeduInputs);
      const std::vector<fs::path> stress_inputs = Tables(stress, kGeduInputs);

      const auto run_to_gedu = [&](const char* label, const fs::path& folder,
                                   const fs::path& file) {
        return Measure(
            label, {options.cli, "to-gedu", file.string(), "--dir", folder.string()}, options.reps,
            [&] { fs::copy_file(exchange, file, fs::copy_options::overwrite_existing); });
      };
      Row to_gedu;
      to_gedu.k = k;
      to_gedu.conversion = "to-gedu";
      to_gedu.run = run_to_gedu("to-gedu", gedu, written);
      Row to_gedu_stress;
      to_gedu_stress.k = k;
      to_gedu_stress.conversion = "to-gedu choques";
      if (full) to_gedu_stress.run = run_to_gedu("to-gedu choques", stress, stress_written);

      // The check of the written file before it replaces the exchange file, on its own.
      const Stats guard = Measure("comprobación del archivo escrito",
                                  {options.guard, written.string()}, options.reps);

      const auto with_tables = [](std::vector<std::string> args,
                                  const std::vector<fs::path>& tables) {
        for (const fs::path& table : tables) args.push_back(table.string());
        return args;
      };
      if (full) {
        to_horaplan.floor = Measure(
            "suelo to-horaplan",
            with_tables({options.floor, "--xml", exchange.string(), "--scratch", scratch.string()},
                        horaplan_outputs),
            options.reps);
        to_gedu.floor = Measure(
            "suelo to-gedu",
            with_tables({options.floor, "--xml", written.string(), "--scratch", scratch.string()},
                        gedu_inputs),
            options.reps);
      }
      to_horaplan.stream =
          Measure("suelo de flujo to-horaplan",
                  with_tables({options.floor, "--stream", "--write-tables", "--xml",
                               exchange.string(), "--scratch", scratch.string()},
                              horaplan_outputs),
                  options.reps);
      // A save reads what it wrote once more before it replaces the file.
      const auto to_gedu_floor = [&](const char* label, const fs::path& file,
                                     const std::vector<fs::path>& inputs) {
        return Measure(
            label,
            with_tables({options.floor, "--stream", "--xml", exchange.string(), "--output",
                         file.string(), "--read-output", "--scratch", scratch.string()},
                        inputs),
            options.reps);
      };
      to_gedu.stream = to_gedu_floor("suelo de flujo to-gedu", written, gedu_inputs);
      if (full) {
        to_gedu_stress.stream =
            to_gedu_floor("suelo de flujo to-gedu choques", stress_written, stress_inputs);
      }

      to_horaplan.exchange_bytes = to_gedu.exchange_bytes = to_gedu_stress.exchange_bytes =
          fs::file_size(exchange);
      to_horaplan.input_bytes = fs::file_size(exchange);
      to_horaplan.output_bytes = TotalSize(horaplan_outputs);
      to_gedu.input_bytes = fs::file_size(exchange) + TotalSize(gedu_inputs);
      to_gedu.output_bytes = fs::file_size(written);
      rows.push_back(to_horaplan);
      rows.push_back(to_gedu);
      if (full) {
        to_gedu_stress.input_bytes = fs::file_size(exchange) + TotalSize(stress_inputs);
        to_gedu_stress.output_bytes = fs::file_size(stress_written);
        rows.push_back(to_gedu_stress);
      }

      char line[300];
      std::snprintf(
          line, sizeof line,
          "k=%d: archivo de intercambio %s, escrito en %s; SOLUC planificada %zu filas, "
          "escrita en %s%s",
          k, Size(fs::file_size(exchange)).c_str(), Seconds(made.wall_seconds).c_str(),
          RowCountOf(pontexa::bench::TableFile(gedu, "SOLUC")),
          Seconds(played.wall_seconds).c_str(),
          full ? ("; SOLUC con choques " +
                  std::to_string(RowCountOf(pontexa::bench::TableFile(stress, "SOLUC"))) + " filas")
                     .c_str()
               : "");
      data_lines.push_back(line);
      std::snprintf(line, sizeof line,
                    "k=%d: to-gedu comprueba el archivo escrito antes de reemplazar el de "
                    "intercambio: %s, %.1f %% del tiempo de to-gedu (cpu %s, %.1f %%)",
                    k, Seconds(guard.wall).c_str(),
                    to_gedu.run.wall > 0 ? 100 * guard.wall / to_gedu.run.wall : 0.0,
                    Seconds(guard.cpu).c_str(),
                    to_gedu.run.cpu > 0 ? 100 * guard.cpu / to_gedu.run.cpu : 0.0);
      data_lines.push_back(line);

      // The digests are those of the first generator's inputs and outputs.
      if (k == options.ks.front() && full) {
        const std::string at = " (k=" + ks + ")";
        hashes.push_back({"entrada intercambio.xml" + at, pontexa::bench::Sha256OfFile(exchange)});
        for (const char* name : {"DIASHORAST", "SOLUC"}) {
          hashes.push_back(
              {std::string("entrada ") + name + ".DBF" + at,
               pontexa::bench::Sha256OfTableFile(pontexa::bench::TableFile(stress, name))});
        }
        for (const fs::path& table : horaplan_outputs) {
          hashes.push_back({"to-horaplan " + table.filename().string() + at,
                            pontexa::bench::Sha256OfTableFile(table)});
        }
        hashes.push_back(
            {"to-gedu intercambio.xml" + at, pontexa::bench::Sha256OfFile(stress_written)});
      }
      fs::remove_all(scratch);
    }

    std::printf(
        "\nPontexa, banco de pruebas (semilla %s, %d medidas tras un calentamiento; "
        "tiempo: mediana del reloj de pared; cpu: el mejor tiempo de procesador)\n\n",
        seed.c_str(), options.reps);
    PrintTable(rows);

    std::printf("\n");
    for (const std::string& line : data_lines) std::printf("%s\n", line.c_str());

    // The targets: processor time within twice the streaming floor at k = 10
    // and k = 100, and peak memory at k = 100.
    std::map<std::pair<int, std::string>, const Row*> by_key;
    for (const Row& row : rows) by_key[{row.k, row.conversion}] = &row;
    std::printf("\n");
    for (const std::string conversion : {"to-horaplan", "to-gedu"}) {
      for (int k : {10, 100}) {
        if (!by_key.count({k, conversion})) continue;
        const Row* row = by_key[{k, conversion}];
        std::printf("%s k=%d: cpu/flujo %s (objetivo <= 2)", conversion.c_str(), k,
                    Ratio(row->run.cpu, row->stream.cpu).c_str());
        if (k == 100 && conversion == "to-horaplan") {
          std::printf(", RSS %s (objetivo <= 40 MiB)",
                      Size(row->run.peak_rss_kib * 1024.0).c_str());
        } else if (k == 100) {
          const double beyond =
              row->run.peak_rss_kib * 1024.0 - static_cast<double>(row->exchange_bytes);
          std::printf(", RSS más allá del archivo de intercambio %s (objetivo <= 40 MiB)",
                      Size(beyond).c_str());
        }
        std::printf("\n");
      }
    }

    std::printf("\nSHA-256 (tablas con la fecha de cabecera puesta a cero)\n");
    for (const Hash& hash : hashes)
      std::printf("  %s  %s\n", hash.digest.c_str(), hash.label.c_str());
    std::printf(
        "\nMemoria máxima del propio medidor: %s (la cuenta el núcleo en la de cada "
        "proceso que lanza)\n",
        Size(pontexa::bench::OwnPeakRssKib() * 1024.0).c_str());

    if (own_work && !options.keep) {
      fs::remove_all(work);
    } else {
      std::printf("Archivos en %s\n", work.c_str());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "\n%s\n", e.what());
    return 1;
  }
  return 0;
}
