#include "run/run_report.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/local_time.h"

namespace pontexa::run {
namespace {

// "2026-06-09T10:15:00+02:00".
std::string IsoTime(std::time_t when) {
  const std::string text = LocalTime(when, "%Y-%m-%dT%H:%M:%S%z");
  if (text.size() < 5) return text;
  return text.substr(0, text.size() - 2) + ":" + text.substr(text.size() - 2);
}

std::string Json(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// The kinds in the order first found, each with its findings. Kinds are few:
// a short search, by address first, beats a map.
std::vector<std::pair<std::string_view, std::vector<const Finding*>>> ByKind(
    const Findings& findings) {
  std::vector<std::pair<std::string_view, std::vector<const Finding*>>> groups;
  std::vector<const char*> addresses;
  for (const Finding& finding : findings.all()) {
    std::size_t at = 0;
    while (at < groups.size() && addresses[at] != finding.kind &&
           groups[at].first != finding.kind) {
      ++at;
    }
    if (at == groups.size()) {
      groups.emplace_back(finding.kind, std::vector<const Finding*>{});
      addresses.push_back(finding.kind);
    }
    groups[at].second.push_back(&finding);
  }
  return groups;
}

// A text of one or more lines with its line ends made CRLF.
std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

std::string FindingsByKind(const RunReport& report, std::size_t most) {
  std::string text;
  std::size_t shown = 0;
  for (const auto& [kind, findings] : ByKind(report.findings)) {
    if (shown >= most) break;
    text.append(kind).append(" (").append(std::to_string(findings.size())).append(")\n");
    for (const Finding* finding : findings) {
      if (shown++ >= most) break;
      text.append("  ")
          .append(finding->id.empty() ? std::string_view("(sin id)") : finding->id)
          .append(": ")
          .append(finding->detail)
          .append("\n");
    }
  }
  if (report.findings.size() > most) {
    const std::size_t more = report.findings.size() - most;
    text += "... y " + std::to_string(more) + (more == 1 ? " aviso más" : " avisos más") +
            " en el informe.\n";
  }
  return text;
}

std::string FindingsCount(const RunReport& report) {
  const std::size_t n = report.findings.size();
  return "Hay " + std::to_string(n) + (n == 1 ? " aviso." : " avisos.");
}

std::string FindingsSummaryLine(const RunReport& report) {
  const std::size_t n = report.findings.size();
  std::string line = std::to_string(n) + (n == 1 ? " aviso: " : " avisos: ");
  bool first = true;
  for (const auto& [kind, findings] : ByKind(report.findings)) {
    line += (first ? "" : ", ") + std::to_string(findings.size()) + " " + std::string(kind);
    first = false;
  }
  return line;
}

void WriteReportText(std::ostream& out, const RunReport& report, bool for_notepad) {
  const bool to_horaplan = report.conversion == "to-horaplan";
  std::string head;
  head += "Informe de Pontexa\n\n";
  head += std::string("Conversión: ") +
          (to_horaplan ? "desde GEDU hacia Horaplan" : "desde Horaplan hacia GEDU") + "\n";
  head += "Hora: " + LocalTime(report.started, "%Y-%m-%d %H:%M:%S") + "\n";
  head += "Archivo XML: " + report.exchange_file + "\n";
  head += "Carpeta de tablas: " + report.table_folder + "\n";
  head += "Resultado: " + (report.ok ? std::string("terminado") : "error: " + report.error) + "\n";
  head += std::string("\n") + (to_horaplan ? "Filas escritas:" : "Filas leídas:") + "\n";
  if (report.findings.rows().empty()) head += "  (ninguna tabla)\n";
  for (const auto& [table, rows] : report.findings.rows()) {
    std::string name = table;
    name.resize(std::max<std::size_t>(name.size(), 12), ' ');
    head += "  " + name + std::to_string(rows) + "\n";
  }
  head += "\n";
  if (report.findings.empty()) {
    head += "Avisos: ninguno\n";
  } else {
    head += "Avisos: " + std::to_string(report.findings.size()) + "\n\n";
  }
  if (for_notepad)
    out << "\xEF\xBB\xBF" << WithCrLf(head);
  else
    out << head;
  // The findings may be hundreds of thousands: written a kind at a time, not
  // gathered into one text first.
  const std::string_view eol = for_notepad ? "\r\n" : "\n";
  for (const auto& [kind, findings] : ByKind(report.findings)) {
    std::string lines;
    lines.append(kind).append(" (").append(std::to_string(findings.size())).append(")").append(eol);
    for (const Finding* finding : findings) {
      lines.append("  ")
          .append(finding->id.empty() ? std::string_view("(sin id)") : finding->id)
          .append(": ")
          .append(finding->detail)
          .append(eol);
      if (lines.size() >= (1 << 16)) {
        out << lines;
        lines.clear();
      }
    }
    out << lines;
  }
}

std::string ReportText(const RunReport& report) {
  std::ostringstream text;
  WriteReportText(text, report, /*for_notepad=*/true);
  return std::move(text).str();
}

std::string ReportJson(const RunReport& report) {
  std::string json = "{\n";
  json += "  \"conversion\": " + Json(report.conversion) + ",\n";
  json += "  \"exchange_file\": " + Json(report.exchange_file) + ",\n";
  json += "  \"table_folder\": " + Json(report.table_folder) + ",\n";
  json += "  \"started\": " + Json(IsoTime(report.started)) + ",\n";
  json += std::string("  \"ok\": ") + (report.ok ? "true" : "false") + ",\n";
  json += "  \"error\": " + (report.ok ? std::string("null") : Json(report.error)) + ",\n";
  json += "  \"tables\": {";
  bool first = true;
  for (const auto& [table, rows] : report.findings.rows()) {
    json += (first ? "" : ", ") + Json(table) + ": " + std::to_string(rows);
    first = false;
  }
  json += "},\n  \"findings\": [";
  first = true;
  for (const Finding& f : report.findings.all()) {
    json += std::string(first ? "\n" : ",\n") + "    {\"kind\": " + Json(f.kind) +
            ", \"table\": " + Json(f.table) + ", \"field\": " + Json(f.field) +
            ", \"element\": " + Json(f.element) + ", \"id\": " + Json(f.id) +
            ", \"detail\": " + Json(f.detail) + "}";
    first = false;
  }
  json += first ? "]\n}\n" : "\n  ]\n}\n";
  return json;
}

std::filesystem::path ReportPath(const RunReport& report) {
  return std::filesystem::path(report.table_folder) / kReportFileName;
}

bool WriteReportFile(const RunReport& report) {
  const std::filesystem::path path = ReportPath(report);
  // One temporary name per folder: what a run killed while writing it left is
  // taken over and renamed away by the next report.
  const std::filesystem::path temporary = path.parent_path() / ("~" + std::string(kReportFileName));
  // A report is not worth a flush to disk: at worst a crash leaves the last one.
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    WriteReportText(out, report, /*for_notepad=*/true);
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace pontexa::run
