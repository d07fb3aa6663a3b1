#include "run/run_report.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/local_time.h"
#include "run/messages.h"
#include "run/recovery_messages.h"

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

constexpr FindingLevel kLevels[] = {FindingLevel::kAviso, FindingLevel::kNota};

// Appends a value with its control characters made visible; most values have
// none and go as they are.
std::string& AppendValue(std::string& out, std::string_view value) {
  const bool plain = std::none_of(value.begin(), value.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  return plain ? out.append(value) : out.append(messages::Visible(value));
}

std::string VisibleValue(std::string_view value) {
  std::string out;
  return AppendValue(out, value);
}

// One finding's line, without its line end.
void AppendFinding(std::string& out, const Finding& finding) {
  out.append("  ");
  AppendValue(out, finding.id.empty() ? std::string_view(messages::kNoId) : finding.id);
  out.append(": ");
  AppendValue(out, finding.detail);
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

// The report text in pieces, each handed to `write` as it is made: the
// findings may be hundreds of thousands, so they go a kind at a time (in
// pieces of about 64 KiB), never gathered into one text. False when the
// findings could not all be read back.
template <typename Write>
bool WriteReportPieces(const RunReport& report, bool for_notepad, Write write) {
  const bool to_horaplan = report.conversion == "to-horaplan";
  std::string head;
  head += messages::ReportTitle() + "\n\n";
  head += messages::ReportConversion(to_horaplan) + "\n";
  head += messages::ReportTime(LocalTime(report.started, "%Y-%m-%d %H:%M:%S")) + "\n";
  head += messages::ReportExchangeFile(VisibleValue(report.exchange_file)) + "\n";
  head += messages::ReportTableFolder(VisibleValue(report.table_folder)) + "\n";
  head += messages::ReportOutcome(report.ok, VisibleValue(report.error)) + "\n";
  if (!report.recovery.empty()) {
    head += messages::ReportRecovery(VisibleValue(report.recovery)) + "\n";
  }
  for (const std::string& note : report.notes) {
    head += messages::ReportNote(VisibleValue(note)) + "\n";
  }
  head += "\n" + messages::ReportRowsHeading(to_horaplan) + "\n";
  if (report.findings.rows().empty()) head += "  " + messages::ReportNoTables() + "\n";
  for (const auto& [table, rows] : report.findings.rows()) {
    std::string name = VisibleValue(table);
    name.resize(std::max<std::size_t>(name.size(), 12), ' ');
    head += "  " + name + std::to_string(rows) + "\n";
  }
  if (for_notepad) {
    write("\xEF\xBB\xBF" + WithCrLf(head));
  } else {
    write(head);
  }
  const std::string_view eol = for_notepad ? "\r\n" : "\n";
  // The avisos first, then the notas, each under its count.
  bool complete = true;
  for (const FindingLevel level : kLevels) {
    std::string lines(eol);
    lines.append(messages::ReportFindingsCount(level, report.findings.CountOf(level))).append(eol);
    bool any = false;
    for (const Findings::Group& group : report.findings.groups()) {
      if (group.level != level) continue;
      if (!any) lines.append(eol);
      any = true;
      AppendValue(lines, group.kind)
          .append(" (")
          .append(std::to_string(group.count))
          .append(")")
          .append(eol);
      complete &= report.findings.ForEachIn(group, SIZE_MAX, [&](const Finding& finding) {
        AppendFinding(lines, finding);
        lines.append(eol);
        if (lines.size() >= (1 << 16)) {
          write(lines);
          lines.clear();
        }
      });
    }
    write(lines);
  }
  return complete;
}

// The JSON report in pieces, as WriteReportPieces; false when the findings
// could not all be read back.
template <typename Write>
bool WriteJsonPieces(const RunReport& report, Write write) {
  std::string json = "{\n";
  json += "  \"conversion\": " + Json(report.conversion) + ",\n";
  json += "  \"exchange_file\": " + Json(report.exchange_file) + ",\n";
  json += "  \"table_folder\": " + Json(report.table_folder) + ",\n";
  json += "  \"started\": " + Json(IsoTime(report.started)) + ",\n";
  json += std::string("  \"ok\": ") + (report.ok ? "true" : "false") + ",\n";
  json += "  \"error\": " + (report.ok ? std::string("null") : Json(report.error)) + ",\n";
  json += "  \"recovery\": " +
          (report.recovery.empty() ? std::string("null") : Json(report.recovery)) + ",\n";
  json += "  \"notes\": [";
  for (std::size_t i = 0; i < report.notes.size(); ++i) {
    json += (i > 0 ? ", " : "") + Json(report.notes[i]);
  }
  json += "],\n";
  json += "  \"tables\": {";
  bool first = true;
  for (const auto& [table, rows] : report.findings.rows()) {
    json += (first ? "" : ", ") + Json(table) + ": " + std::to_string(rows);
    first = false;
  }
  json += "},\n  \"findings\": [";
  first = true;
  const bool complete = report.findings.ForEach([&](const Finding& f) {
    json += std::string(first ? "\n" : ",\n") + "    {\"kind\": " + Json(f.kind) +
            ", \"level\": " + Json(LevelWord(LevelOf(f))) + ", \"table\": " + Json(f.table) +
            ", \"field\": " + Json(f.field) + ", \"element\": " + Json(f.element) +
            ", \"id\": " + Json(f.id) + ", \"detail\": " + Json(f.detail) + "}";
    first = false;
    if (json.size() >= (1 << 16)) {
      write(json);
      json.clear();
    }
  });
  json += first ? "]\n}\n" : "\n  ]\n}\n";
  write(json);
  return complete;
}

}  // namespace

std::string FindingsByKind(const RunReport& report, FindingLevel level, std::size_t most) {
  std::string text;
  std::size_t shown = 0;
  for (const Findings::Group& group : report.findings.groups()) {
    if (group.level != level) continue;
    if (shown >= most) break;
    AppendValue(text, group.kind)
        .append(" (")
        .append(std::to_string(group.count))
        .append(")\n");
    report.findings.ForEachIn(group, most - shown, [&](const Finding& finding) {
      AppendFinding(text, finding);
      text.append("\n");
    });
    shown += std::min(group.count, most - shown);
  }
  const std::size_t count = report.findings.CountOf(level);
  if (count > most) {
    text += messages::MoreFindingsInReport(level, count - most) + "\n";
  }
  return text;
}

std::string FindingsCount(const RunReport& report) {
  return messages::FindingsCount(report.findings.CountOf(FindingLevel::kAviso));
}

std::string FindingsSummaryLine(const RunReport& report) {
  std::string line;
  for (const FindingLevel level : kLevels) {
    std::string by_kind;
    for (const Findings::Group& group : report.findings.groups()) {
      if (group.level != level) continue;
      by_kind += (by_kind.empty() ? "" : ", ") + std::to_string(group.count) + " " +
                 std::string(group.kind);
    }
    if (!line.empty()) line += ", ";
    line += messages::FindingsSummary(level, report.findings.CountOf(level), by_kind);
  }
  return line;
}

bool WriteReportText(std::ostream& out, const RunReport& report, bool for_notepad) {
  return WriteReportPieces(report, for_notepad,
                           [&out](std::string_view piece) { out << piece; }) &&
         out.good();
}

std::string ReportText(const RunReport& report) {
  std::string text;
  WriteReportPieces(report, /*for_notepad=*/true,
                    [&text](std::string_view piece) { text.append(piece); });
  return text;
}

std::string ReportJson(const RunReport& report) {
  std::string json;
  WriteJsonPieces(report, [&json](std::string_view piece) { json.append(piece); });
  return json;
}

bool WriteReportJson(File& out, const RunReport& report) {
  bool written = true;
  const bool complete = WriteJsonPieces(report, [&](std::string_view piece) {
    if (written && !piece.empty()) written = out.Append(piece).ok();
  });
  return written && complete;
}

std::vector<std::string> NotesOnSavedFile(const FileInfo& before, const FileInfo& after) {
  std::vector<std::string> notes;
  if (before.owner != after.owner || before.group != after.group) {
    notes.push_back(messages::OwnerNotKept(before.owner, before.group, after.owner, after.group));
  }
  if (before.links > 1) notes.push_back(messages::OtherNamesKeepOldContent(before.links));
  return notes;
}

std::filesystem::path ReportPath(const RunReport& report) {
  return std::filesystem::path(report.table_folder) / kReportFileName;
}

bool WriteReportFile(const RunReport& report) {
  Env& env = Env::Current();
  const std::filesystem::path path = ReportPath(report);
  // One temporary name per folder: what a run killed while writing it left is
  // taken over and renamed away by the next report.
  const std::filesystem::path temporary = path.parent_path() / ("~" + std::string(kReportFileName));
  // A report is not worth a flush to disk: at worst a crash leaves the last one.
  std::unique_ptr<File> out;
  if (!env.Open(temporary, {.mode = OpenMode::kReplace, .regular_only = true}, &out).ok()) {
    // Something else with that name (a symbolic link): gone, then one more try.
    env.Remove(temporary);
    if (!env.Open(temporary, {.mode = OpenMode::kReplace, .regular_only = true}, &out).ok())
      return false;
  }
  bool written = true;
  const bool complete = WriteReportPieces(report, /*for_notepad=*/true, [&](std::string_view piece) {
    if (written && !piece.empty()) written = out->Append(piece).ok();
  });
  if (!complete) written = false;
  if (!out->Close().ok()) written = false;
  if (!written || !env.Rename(temporary, path).ok()) {
    env.Remove(temporary);
    return false;
  }
  return true;
}

}  // namespace pontexa::run
