#include "to_horaplan/build_notes.h"

#include <algorithm>

#include "platform/code_page.h"
#include "tables/catalogue.h"
#include "to_horaplan/messages.h"

namespace pontexa::to_horaplan {
namespace {

// True when every character is one Windows-1252 holds as itself without
// asking the code page: ASCII, or U+00A0 to U+00FF (Spanish letters, º, ª...),
// which it holds at the same numbers. Other text needs the round trip.
bool SurelyFits(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) continue;
    if (i + 1 >= utf8.size()) return false;
    const auto next = static_cast<unsigned char>(utf8[i + 1]);
    if (!(byte == 0xC3 || (byte == 0xC2 && next >= 0xA0))) return false;
    ++i;
  }
  return true;
}

}  // namespace

BuildNotes::BuildNotes(Findings* findings, const char* table, const char* element,
                       const tables::Layout& layout)
    : findings_(findings), table_(table), element_(element), layout_(layout) {}

std::string BuildNotes::Read(std::string_view utf8, const char* field, const std::string& id) {
  std::string value = SystemFromUtf8(utf8);
  // Anything that does not surely fit fits when it comes back unchanged.
  if (findings_ != nullptr && !SurelyFits(utf8) && Utf8FromSystem(value) != utf8) {
    Add("replaced-characters", field, id, messages::ReplacedCharacters(utf8, FindingText(value)));
  }
  return value;
}

std::string BuildNotes::ReadId(std::string_view utf8, const char* field) {
  std::string value = SystemFromUtf8(utf8);
  if (findings_ != nullptr && !SurelyFits(utf8) && Utf8FromSystem(value) != utf8) {
    Add("replaced-characters", field, value,
        messages::ReplacedCharacters(utf8, FindingText(value)));
  }
  return value;
}

void BuildNotes::CheckIdentity(const std::string& id, const std::string& name,
                               const char* name_field) {
  if (findings_ == nullptr) return;
  if (id.empty()) {
    Add("missing-id", tables::field::kIdGedu, id,
        messages::MissingId(element_, name.empty() ? std::string() : FindingText(name)));
  } else if (!ids_.insert(id).second) {
    Add("duplicate-id", tables::field::kIdGedu, id,
        messages::DuplicateId(FindingText(id), element_));
  }
  if (name.empty()) {
    Add("missing-name", name_field, id, messages::MissingName(element_));
  }
}

void BuildNotes::CheckFits(const char* field, const std::string& value, const std::string& id) {
  if (findings_ == nullptr) return;
  // The width by the field name's address, as the build passes the same
  // constant each time; by name the first time.
  std::size_t width = 0;
  auto known = std::find_if(widths_.begin(), widths_.end(),
                            [field](const auto& entry) { return entry.first == field; });
  if (known != widths_.end()) {
    width = known->second;
  } else {
    const auto spec =
        std::find_if(layout_.begin(), layout_.end(),
                     [field](const tables::FieldLayout& f) { return f.name == field; });
    if (spec != layout_.end() && spec->type == tables::FieldType::kText) {
      width = static_cast<std::size_t>(spec->width);
    }
    widths_.emplace_back(field, width);
  }
  if (width == 0) return;  // not a text field of this table
  // Bytes are never fewer than characters: most values need no count.
  if (value.size() <= width) return;
  const std::string kept = FirstChars(value, width);
  if (kept.size() == value.size()) return;
  const std::string utf8 = Utf8FromSystem(value);
  const auto length = std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // a character's first byte
  });
  Add("cut", field, id,
      messages::Cut(FindingText(value), static_cast<std::size_t>(length), field, width,
                    FindingText(kept)));
}

void BuildNotes::CheckCode(const char* field, const std::string& base, const std::string& code,
                           const std::string& id) {
  if (findings_ == nullptr || code == base) return;
  Add("renamed-code", field, id, messages::RenamedCode(FindingText(base), FindingText(code)));
}

void BuildNotes::Add(const char* kind, const char* field, const std::string& id, std::string detail,
                     const char* element) {
  if (findings_ == nullptr) return;
  findings_->Add({kind, table_, field, element != nullptr ? element : element_, FindingText(id),
                  std::move(detail)});
}

void BuildNotes::CountRows(std::int64_t rows) {
  if (findings_ != nullptr) findings_->CountRows(table_, rows);
}

}  // namespace pontexa::to_horaplan
