#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_copy.h"
#include "platform/findings.h"

namespace pontexa::run {

// Short codes are handed out afresh on every GEDU-to-Horaplan run, in document
// order, so a code a saved timetable (SOLUC) uses may come to name another
// teacher, room, group or subject. This file beside the tables keeps what the
// last rebuild of the catalogues found: SOLUC's size and digest then, and for
// each code that moved under it the element it named when SOLUC was saved.
inline constexpr char kMovedCodesFileName[] = "pontexa-codigos-movidos.txt";

// The element a catalogue row names by its code: its IDGEDU and its name as
// people read it. 8-bit text, as the tables hold it.
struct CodeOwner {
  std::string idgedu;
  std::string name;
  bool SameElement(const CodeOwner& other) const;
};

// The four catalogues whose codes SOLUC uses.
enum class CodeCatalogue { kSubject, kGroup, kTeacher, kRoom };
inline constexpr std::size_t kCodeCatalogues = 4;

// What the record file holds.
struct MovedCodesRecord {
  FileDigest soluc;
  struct Entry {
    CodeCatalogue catalogue;
    std::string code;
    CodeOwner before;  // the element the code named when SOLUC was saved
  };
  std::vector<Entry> moved;
};

// The record's text, and the record read back from it; a text that is not
// exactly such a record (damaged, cut short, planted) gives nothing.
std::string MovedCodesText(const MovedCodesRecord& record);
std::optional<MovedCodesRecord> ParseMovedCodes(std::string_view text);

// The codes SOLUC uses, with the element each named in the catalogue tables
// when this object was made: made just before the catalogue tables are
// replaced (by a GEDU-to-Horaplan run or a restore), compared just after.
// Never raises: a SOLUC or table that cannot be read becomes a finding.
class SavedTimetableCodes {
 public:
  // Reads SOLUC and the catalogues in the folder; holds nothing when there is
  // no SOLUC.
  explicit SavedTimetableCodes(std::filesystem::path table_folder);

  // With the new catalogue tables in place: a `code-moved` aviso for each code
  // SOLUC uses that names another element than it did when SOLUC was saved
  // (or none), and the record file written, or removed when nothing moved or
  // there is no SOLUC (a `timetable-not-checked` aviso when it could not be read).
  void CompareWithCatalogues(Findings& findings) const;

 private:
  struct UsedCode {
    std::string code;
    std::size_t lessons = 0;
    std::optional<CodeOwner> before;
  };

  std::filesystem::path table_folder_;
  bool has_timetable_ = false;
  std::string unreadable_;  // why SOLUC or a catalogue could not be read, or ""
  FileDigest soluc_;
  std::array<std::vector<UsedCode>, kCodeCatalogues> used_;
};

// For the Horaplan-to-GEDU run: a `timetable-older-than-catalogue` aviso when
// the last rebuild of the catalogues recorded codes that moved under this very
// SOLUC (same size and digest), which has therefore not been saved since.
// Never raises; a record that cannot be read counts as none.
void CheckTimetableNotOlderThanCatalogues(const std::filesystem::path& table_folder,
                                          Findings& findings);

}  // namespace pontexa::run
