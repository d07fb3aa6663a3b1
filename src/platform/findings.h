#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pontexa {

// Something a conversion wrote in a way the user should know of, though the
// run goes on: a value cut to its field, an identifier nobody has, a lesson
// left out. Texts are UTF-8. A run may note hundreds of thousands, so the
// fixed words are pointers to constant text, never copied.
struct Finding {
  const char* kind;     // a fixed English word: "cut", "unknown-teacher", ...
  const char* table;    // the table concerned, or ""
  const char* field;    // its field, or ""
  const char* element;  // the exchange file's element concerned, or ""
  std::string id;       // that element's id, or the code or row concerned
  std::string detail;   // a Spanish sentence for people
};

// How much a finding matters to the office. An aviso is something wrong or
// lost in what Horaplan or GEDU will hold; a nota only changes how something
// looks in Horaplan (a code made unique, a name cut to its field, letters the
// code page replaced, a lesson left unplaced).
enum class FindingLevel { kAviso, kNota };

// The level follows the kind and the field: a name cut or changed is a nota,
// an identifier cut or changed is an aviso, since it cannot go back to GEDU as
// it came. A kind this function does not know is an aviso.
FindingLevel LevelOf(const Finding& finding);

// "aviso" or "nota".
const char* LevelWord(FindingLevel level);

// The pieces joined in one allocation: findings are built by the thousand.
std::string Joined(std::initializer_list<std::string_view> pieces);

// 8-bit text as UTF-8 for a finding, without the conversion when it is ASCII.
std::string FindingText(std::string_view system_text);

// What one run noted: its findings in the order they were found, and the rows
// it wrote or read per table.
class Findings {
 public:
  void Add(Finding finding) { findings_.push_back(std::move(finding)); }
  void CountRows(const std::string& table, std::int64_t rows);

  const std::deque<Finding>& all() const { return findings_; }
  std::deque<Finding>& all() { return findings_; }
  bool empty() const { return findings_.empty(); }
  std::size_t size() const { return findings_.size(); }
  // How many are of that level.
  std::size_t CountOf(FindingLevel level) const;
  const std::vector<std::pair<std::string, std::int64_t>>& rows() const { return rows_; }

 private:
  // A deque: a run may note many, and growing never moves or frees a large block.
  std::deque<Finding> findings_;
  std::vector<std::pair<std::string, std::int64_t>> rows_;
};

}  // namespace pontexa
