#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/findings.h"
#include "tables/field_layout.h"

namespace pontexa::to_horaplan {

// The findings of one table build about the elements it writes: values the
// code page changed or the field cuts, missing and repeated identifiers, codes
// made unique. With no Findings it notes nothing and only reads. Ids and
// values given here are 8-bit text; the findings hold UTF-8.
class BuildNotes {
 public:
  BuildNotes(Findings* findings, const char* table, const char* element,
             const tables::Layout& layout);

  // Room for the identifiers of this many elements.
  void Expect(std::size_t elements) { ids_.reserve(elements); }

  // A value read from the file (UTF-8), as 8-bit text, noting the characters
  // the code page could not hold, for `field`; ReadId for the element's id.
  std::string Read(std::string_view utf8, const char* field, const std::string& id);
  std::string ReadId(std::string_view utf8, const char* field);

  // missing-id, duplicate-id (the lookups take the first), missing-name.
  void CheckIdentity(const std::string& id, const std::string& name, const char* name_field);
  // cut: a value longer than its text field.
  void CheckFits(const char* field, const std::string& value, const std::string& id);
  // renamed-code: the code handed out is not its base.
  void CheckCode(const char* field, const std::string& base, const std::string& code,
                 const std::string& id);

  // Any other finding about this build's table.
  void Add(const char* kind, const char* field, const std::string& id, std::string detail,
           const char* element = nullptr);
  // The rows the build wrote.
  void CountRows(std::int64_t rows);

 private:
  Findings* findings_;
  const char* table_;
  const char* element_;
  const tables::Layout& layout_;
  std::unordered_set<std::string> ids_;
  std::vector<std::pair<const char*, std::size_t>> widths_;  // text field widths asked for
};

}  // namespace pontexa::to_horaplan
