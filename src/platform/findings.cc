#include "platform/findings.h"

#include <cstring>

#include "platform/code_page.h"

namespace pontexa {

std::string FindingText(std::string_view system_text) {
  for (const char c : system_text) {
    if (static_cast<unsigned char>(c) >= 0x80) return Utf8FromSystem(system_text);
  }
  return std::string(system_text);
}

std::string Joined(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (std::string_view piece : pieces) text.append(piece);
  return text;
}

namespace {

bool Is(const char* text, const char* word) { return std::strcmp(text, word) == 0; }

// The fields that hold a name as people read it: a subject's, teacher's or
// room's NOMBRE, and a group's name, which goes into NIVEL.
bool IsNameField(const char* field) { return Is(field, "NOMBRE") || Is(field, "NIVEL"); }

}  // namespace

FindingLevel LevelOf(const Finding& finding) {
  const char* kind = finding.kind;
  if (Is(kind, "renamed-code") || Is(kind, "skipped-lesson")) return FindingLevel::kNota;
  if ((Is(kind, "cut") || Is(kind, "replaced-characters")) && IsNameField(finding.field)) {
    return FindingLevel::kNota;
  }
  return FindingLevel::kAviso;
}

const char* LevelWord(FindingLevel level) {
  return level == FindingLevel::kAviso ? "aviso" : "nota";
}

std::size_t Findings::CountOf(FindingLevel level) const {
  std::size_t count = 0;
  for (const Finding& finding : findings_) {
    if (LevelOf(finding) == level) ++count;
  }
  return count;
}

void Findings::CountRows(const std::string& table, std::int64_t rows) {
  for (auto& [name, count] : rows_) {
    if (name == table) {
      count = rows;
      return;
    }
  }
  rows_.emplace_back(table, rows);
}

}  // namespace pontexa
