#include "platform/findings.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/code_page.h"
#include "platform/env.h"

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

namespace {

// A finding in the file: a header of the level (one byte), the four fixed
// words as numbers (two bytes each) and the lengths of the id and the detail
// (four bytes each), then the id and the detail.
constexpr std::size_t kHeaderSize = 1 + 4 * 2 + 2 * 4;
// Findings are written in blocks of about this size, and read back in pieces
// of kReadSize.
constexpr std::size_t kBlockSize = 1 << 16;
constexpr std::size_t kReadSize = 1 << 20;

void PutNumber(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t NumberAt(const char* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(at[i])) << (8 * i);
  }
  return value;
}

bool SameWord(const char* a, const char* b) { return a == b || std::strcmp(a, b) == 0; }

}  // namespace

// The findings written to a temporary file as they come: whole blocks in the
// file, the last block still in memory. Once a write fails nothing more is
// taken, and what was not written is handed back.
class Findings::Spool {
 public:
  // The file closes when the object goes, without a call into the Env that
  // made it: a report may outlive the Env its run had (tests change it), and
  // how the close of a file with no name went changes nothing.
  explicit Spool(std::unique_ptr<File> file) : file_(std::move(file)) {}
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;

  // Takes the finding; false, taking nothing, when the file can take no more
  // (a write failed, now or before).
  bool Add(const Finding& finding, FindingLevel level) {
    if (failed_) return false;
    if (buffer_.size() >= kBlockSize) {
      if (!file_->Append(buffer_).ok()) {
        failed_ = true;
        return false;
      }
      written_ += buffer_.size();
      buffer_.clear();
    }
    std::uint32_t words[4];
    const char* texts[4] = {finding.kind, finding.table, finding.field, finding.element};
    for (int i = 0; i < 4; ++i) {
      const std::optional<std::uint32_t> word = WordOf(texts[i]);
      if (!word) return false;
      words[i] = *word;
    }
    if (finding.id.size() > UINT32_MAX || finding.detail.size() > UINT32_MAX) return false;
    buffer_.push_back(static_cast<char>(level));
    for (const std::uint32_t word : words) PutNumber(buffer_, word, 2);
    PutNumber(buffer_, static_cast<std::uint32_t>(finding.id.size()), 4);
    PutNumber(buffer_, static_cast<std::uint32_t>(finding.detail.size()), 4);
    buffer_.append(finding.id).append(finding.detail);
    return true;
  }

  // Moves the findings taken but not written into `out`, in order.
  void TakeUnwritten(std::deque<Finding>& out) {
    Finding finding;
    FindingLevel level;
    std::string_view rest = buffer_;
    while (Decode(rest, finding, level)) out.push_back(finding);
    buffer_.clear();
    buffer_.shrink_to_fit();
  }

  // Calls `visit` with each finding taken, in order, until it returns false;
  // false when the file cannot be read back.
  template <typename Visit>
  bool ForEach(Visit visit) const {
    Finding finding;
    FindingLevel level;
    std::string piece;
    std::size_t start = 0;
    std::uint64_t offset = 0;
    while (offset < written_) {
      // What is left of the last piece, at most one finding's part, goes first.
      piece.erase(0, start);
      start = 0;
      const std::size_t kept = piece.size();
      const std::size_t wanted =
          static_cast<std::size_t>(std::min<std::uint64_t>(kReadSize, written_ - offset));
      piece.resize(kept + wanted);
      std::size_t read = 0;
      if (!file_->ReadAt(offset, piece.data() + kept, wanted, &read).ok() || read == 0) {
        return false;
      }
      piece.resize(kept + read);
      offset += read;
      std::string_view rest(piece);
      while (Decode(rest, finding, level)) {
        if (!visit(finding, level)) return true;
      }
      start = piece.size() - rest.size();
    }
    if (start != piece.size()) return false;
    std::string_view rest = buffer_;
    while (Decode(rest, finding, level)) {
      if (!visit(finding, level)) return true;
    }
    return true;
  }

 private:
  // The number of a fixed word: they are few, and mostly the same pointers.
  std::optional<std::uint32_t> WordOf(const char* text) {
    for (std::size_t i = 0; i < words_.size(); ++i) {
      if (words_[i] == text) return static_cast<std::uint32_t>(i);
    }
    for (std::size_t i = 0; i < words_.size(); ++i) {
      if (std::strcmp(words_[i], text) == 0) return static_cast<std::uint32_t>(i);
    }
    if (words_.size() > 0xFFFF) return std::nullopt;
    words_.push_back(text);
    return static_cast<std::uint32_t>(words_.size() - 1);
  }

  // Reads one whole finding from the front of `rest`; false when `rest` does
  // not begin with one.
  bool Decode(std::string_view& rest, Finding& finding, FindingLevel& level) const {
    if (rest.size() < kHeaderSize) return false;
    const std::size_t id_size = NumberAt(rest.data() + 9, 4);
    const std::size_t detail_size = NumberAt(rest.data() + 13, 4);
    if (rest.size() - kHeaderSize < id_size ||
        rest.size() - kHeaderSize - id_size < detail_size) {
      return false;
    }
    level = static_cast<FindingLevel>(rest[0]);
    finding.kind = words_[NumberAt(rest.data() + 1, 2)];
    finding.table = words_[NumberAt(rest.data() + 3, 2)];
    finding.field = words_[NumberAt(rest.data() + 5, 2)];
    finding.element = words_[NumberAt(rest.data() + 7, 2)];
    finding.id.assign(rest.data() + kHeaderSize, id_size);
    finding.detail.assign(rest.data() + kHeaderSize + id_size, detail_size);
    rest.remove_prefix(kHeaderSize + id_size + detail_size);
    return true;
  }

  std::unique_ptr<File> file_;
  std::uint64_t written_ = 0;
  std::string buffer_;
  bool failed_ = false;
  std::vector<const char*> words_;
};

Findings::Findings() = default;
Findings::~Findings() = default;
Findings::Findings(Findings&& other) noexcept = default;
Findings& Findings::operator=(Findings&& other) noexcept = default;

Findings::Findings(const Findings& other)
    : groups_(other.groups_), size_(other.size_), rows_(other.rows_), rewrite_(other.rewrite_) {
  if (!other.spool_) {
    held_ = other.held_;
    return;
  }
  other.spool_->ForEach([this](const Finding& finding, FindingLevel) {
    held_.push_back(finding);
    return true;
  });
  held_.insert(held_.end(), other.held_.begin(), other.held_.end());
}

Findings& Findings::operator=(const Findings& other) {
  if (this != &other) *this = Findings(other);
  return *this;
}

void Findings::SpoolIn(const std::filesystem::path& folder) {
  // Findings already held would come after later ones in the file.
  if (spool_ || !held_.empty()) return;
  Env& env = Env::Current();
  const std::string prefix =
      "~pontexa-" + std::to_string(env.ThisProcess()) + "-hallazgos-";
  std::unique_ptr<File> file;
  std::filesystem::path path;
  if (!env.CreateTemporary(folder, prefix, &file, &path).ok()) return;
  // The open file stays readable; a name that cannot go now is removed by the
  // next run, as every "~pontexa-<process>-" leftover is.
  env.Remove(path);
  spool_ = std::make_unique<Spool>(std::move(file));
}

Findings::Group& Findings::GroupOf(const Finding& finding, FindingLevel level) {
  for (Group& group : groups_) {
    if (group.level == level && SameWord(group.kind, finding.kind)) return group;
  }
  return groups_.emplace_back(Group{level, finding.kind, 0, {}});
}

void Findings::Add(Finding finding) {
  const FindingLevel level = LevelOf(finding);
  Group& group = GroupOf(finding, level);
  ++group.count;
  ++size_;
  if (group.first.size() < kKeptPerKind) group.first.push_back(finding);
  if (spool_ && spool_->Add(finding, level)) return;
  // No file, or one that can take no more: what it did not write comes first.
  if (spool_) spool_->TakeUnwritten(held_);
  held_.push_back(std::move(finding));
}

std::size_t Findings::CountOf(FindingLevel level) const {
  std::size_t count = 0;
  for (const Group& group : groups_) {
    if (group.level == level) count += group.count;
  }
  return count;
}

bool Findings::ForEach(const std::function<void(const Finding&)>& visit) const {
  Finding copy;
  const auto each = [&](const Finding& finding) {
    if (!rewrite_) return visit(finding);
    copy = finding;
    rewrite_(copy.detail);
    visit(copy);
  };
  if (spool_ && !spool_->ForEach([&](const Finding& finding, FindingLevel) {
        each(finding);
        return true;
      })) {
    return false;
  }
  for (const Finding& finding : held_) each(finding);
  return true;
}

bool Findings::ForEachIn(const Group& group, std::size_t most,
                         const std::function<void(const Finding&)>& visit) const {
  Finding copy;
  std::size_t shown = 0;
  // False once `most` have been shown.
  const auto each = [&](const Finding& finding) {
    if (shown >= most) return false;
    ++shown;
    if (!rewrite_) {
      visit(finding);
    } else {
      copy = finding;
      rewrite_(copy.detail);
      visit(copy);
    }
    return true;
  };
  for (const Finding& finding : group.first) {
    if (!each(finding)) return true;
  }
  if (group.count == group.first.size() || shown >= most) return true;
  // The rest are read back, past the ones kept.
  std::size_t seen = 0;
  const auto of_group = [&](const Finding& finding, FindingLevel level) {
    if (level != group.level || !SameWord(finding.kind, group.kind)) return true;
    return ++seen <= group.first.size() || each(finding);
  };
  if (spool_ && !spool_->ForEach(of_group)) return false;
  for (const Finding& finding : held_) {
    if (!of_group(finding, LevelOf(finding))) break;
  }
  return true;
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
