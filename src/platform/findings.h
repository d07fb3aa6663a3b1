#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
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

// What one run noted: its findings in the order they were found, counted per
// level and kind, and the rows it wrote or read per table.
//
// A run may note hundreds of thousands of findings, tens of MB of text, so once
// SpoolIn has been given a folder they are written to a temporary file there
// as they come and read back from it for the report; only the counts and the
// first kKeptPerKind of each kind (what the window shows) stay in memory.
// Without a folder, or once the file cannot be written (a full disk), they are
// held in memory instead; none is lost either way.
class Findings {
 public:
  // The findings of each level and kind kept in memory as well.
  static constexpr std::size_t kKeptPerKind = 1000;

  // The findings of one level and kind, in the order the kinds were first found.
  struct Group {
    FindingLevel level;
    const char* kind;
    std::size_t count = 0;
    std::vector<Finding> first;  // the first kKeptPerKind of them
  };

  Findings();
  ~Findings();
  // A copy holds all the findings in memory; a move takes the file along.
  Findings(const Findings& other);
  Findings& operator=(const Findings& other);
  Findings(Findings&& other) noexcept;
  Findings& operator=(Findings&& other) noexcept;

  // From now on, findings go to a new temporary file in `folder`, named
  // "~pontexa-<process>-hallazgos-" and six letters, removed again at once
  // (the open file lasts as long as this object), so that nothing is left in
  // the folder however the run ends. Without such a file (no folder, no
  // room, no permission) they stay in memory.
  void SpoolIn(const std::filesystem::path& folder);

  void Add(Finding finding);
  void CountRows(const std::string& table, std::int64_t rows);

  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  // How many are of that level.
  std::size_t CountOf(FindingLevel level) const;
  const std::vector<Group>& groups() const { return groups_; }
  const std::vector<std::pair<std::string, std::int64_t>>& rows() const { return rows_; }

  // Calls `visit` with every finding in the order found. False when the file
  // could not be read back (the findings visited so far were right).
  bool ForEach(const std::function<void(const Finding&)>& visit) const;
  // Calls `visit` with the findings of `group`, in the order found, up to
  // `most` of them; false as ForEach.
  bool ForEachIn(const Group& group, std::size_t most,
                 const std::function<void(const Finding&)>& visit) const;

  // Every detail read back from now on is passed through `rewrite` first
  // (the trial run puts back the real folder and file names).
  void RewriteDetails(std::function<void(std::string&)> rewrite) { rewrite_ = std::move(rewrite); }

 private:
  class Spool;

  Group& GroupOf(const Finding& finding, FindingLevel level);

  std::vector<Group> groups_;
  std::size_t size_ = 0;
  // The findings in the order found: first those in the file, if any, then
  // those held here.
  std::unique_ptr<Spool> spool_;
  // A deque: growing never moves or frees a large block.
  std::deque<Finding> held_;
  std::vector<std::pair<std::string, std::int64_t>> rows_;
  std::function<void(std::string&)> rewrite_;
};

}  // namespace pontexa
