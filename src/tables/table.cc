#include "tables/table.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/ascii.h"
#include "platform/code_page.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/numbers.h"
#include "tables/dbf_format.h"
#include "tables/field_value.h"
#include "tables/messages.h"
#include "tables/record_file.h"
#include "tables/table_file.h"
#include "tables/table_header.h"
#include "tables/table_store.h"

namespace pontexa::tables {

class Table::Impl {
 public:
  Impl(LockedFile file, TableHeader header, char decimal_separator)
      : file_(std::move(file)),
        header_(std::move(header)),
        records_(file_, header_),
        decimal_separator_(decimal_separator),
        today_(Today()) {}

  LockedFile file_;  // declared first: the records read it until the end
  TableHeader header_;
  RecordFile records_;
  char decimal_separator_;
  HeaderDate today_;
  mutable std::vector<std::pair<std::string, int>> asked_;
  mutable std::size_t last_asked_ = 0;

  std::int64_t current_ = -1;  // -1: no row
  const char* record_ = nullptr;
  bool past_last_ = true;
  std::string pending_;
  bool has_pending_ = false;
  bool changed_ = false;

  // The first row not marked deleted at or after `from`, or -1. The current
  // row's bytes may have moved meanwhile: MakeCurrent fetches them again.
  std::int64_t NextLiveRow(std::int64_t from) {
    for (std::int64_t i = from; i < records_.record_count(); ++i) {
      if (records_.Record(i)[0] != kDeletedFlag) return i;
    }
    return -1;
  }

  void MakeCurrent(std::int64_t row) {
    current_ = row;
    record_ = row < 0 ? nullptr : records_.Record(row);
  }

  // Field names as callers asked for them, with their field, in the order
  // first asked. A column read asks for the same name row after row; a scan
  // that reads several fields row after row finds each name right after the
  // previous one. Both are tried first.
  int FindField(std::string_view name) const {
    const std::size_t known = asked_.size();
    std::size_t k = last_asked_;
    for (std::size_t step = 0; step < known; ++step) {
      if (step > 0 && ++k == known) k = 0;
      const std::string& asked = asked_[k].first;
      if (asked.size() == name.size() && std::memcmp(asked.data(), name.data(), name.size()) == 0) {
        last_asked_ = k;
        return asked_[k].second;
      }
    }
    const std::string upper = AsciiUpper(name);
    for (std::size_t i = 0; i < header_.fields.size(); ++i) {
      if (AsciiUpper(header_.fields[i].name) == upper) {
        asked_.emplace_back(std::string(name), static_cast<int>(i));
        last_asked_ = asked_.size() - 1;
        return static_cast<int>(i);
      }
    }
    return -1;
  }

  // The raw bytes of a field of the current row: the pending new row, the
  // current stored row, or blanks when there is no row.
  std::string_view Raw(const StoredField& field) const {
    const auto at = static_cast<std::size_t>(field.offset);
    const auto width = static_cast<std::size_t>(field.width);
    if (has_pending_) return std::string_view(pending_).substr(at, width);
    if (record_ != nullptr) return std::string_view(record_ + at, width);
    static const std::string blanks(256, ' ');
    return std::string_view(blanks).substr(0, width);
  }

  // The text of a text field in the system code page, trailing blanks cut.
  std::string StoredText(const StoredField& field) const {
    return SystemFromCodePage(CutTrailingBlanks(Raw(field)), header_.code_page);
  }

  bool TextEquals(const StoredField& field, std::string_view key) const {
    if (field.kind == StoredKind::kText) {
      // ASCII reads the same in every code page: compare in place.
      std::string_view raw = CutTrailingBlanks(Raw(field));
      if (IsAscii(raw)) return raw == key;
      return StoredText(field) == key;
    }
    return TextOfStored(field.kind, Raw(field), decimal_separator_) == key;
  }
};

Table::Table(const TableStore& store, std::string table_name, std::string binding_name)
    : store_(store), table_name_(std::move(table_name)), binding_name_(std::move(binding_name)) {}

Table::~Table() {
  try {
    CloseTable();
  } catch (const Error&) {
    // A destructor cannot report; the table is released all the same.
  }
}

bool Table::IsOpen() const { return impl_ != nullptr; }

Table::Impl& Table::Open() const {
  if (!impl_) throw Error(messages::TableClosed());
  return *impl_;
}

void Table::OpenTable(HoldKind hold) { OpenWith(hold, /*only_read=*/false); }

void Table::OpenTableReadOnly() { OpenWith(HoldKind::kShared, /*only_read=*/true); }

void Table::OpenWith(HoldKind hold, bool only_read) {
  if (impl_) return;
  store_.CheckTableFolder();
  const std::filesystem::path path = store_.TablePath(table_name_);
  LockedFile file = LockedFile::OpenExisting(path, hold, store_.open_files(), only_read);
  const std::uint64_t size = file.Size();
  std::string start(static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxHeaderBytes)), '\0');
  std::size_t got = 0;
  if (Status status = file.ReadAt(0, start.data(), start.size(), &got); !status) {
    throw Error(messages::CannotReadTable(path, status.text()));
  }
  start.resize(got);
  TableHeader header = ReadTableHeader(start, size, path);
  impl_ = std::make_unique<Impl>(std::move(file), std::move(header),
                                 store_.regional().decimal_separator);
  impl_->MakeCurrent(impl_->NextLiveRow(0));
  impl_->past_last_ = impl_->current_ < 0;
}

void Table::CloseTable() {
  if (!impl_) return;
  std::unique_ptr<Impl> impl = std::move(impl_);  // closed from here on, whatever happens
  if (impl->changed_) impl->records_.Finish();
  impl->file_.Close();
}

void Table::SavePending() {
  if (impl_ && impl_->has_pending_) SaveNewRow();
}

void Table::ToFirstRow() {
  Impl& impl = Open();
  SavePending();
  impl.MakeCurrent(impl.NextLiveRow(0));
  impl.past_last_ = impl.current_ < 0;
}

void Table::ToNextRow() {
  Impl& impl = Open();
  SavePending();
  if (impl.current_ < 0) {
    impl.past_last_ = true;
    return;
  }
  const std::int64_t next = impl.NextLiveRow(impl.current_ + 1);
  if (next < 0) {
    impl.past_last_ = true;
    impl.MakeCurrent(impl.current_);  // the last row stays current
  } else {
    impl.MakeCurrent(next);
    impl.past_last_ = false;
  }
}

bool Table::PastLastRow() const { return Open().past_last_; }

const StoredField& Table::Field(std::string_view field) const {
  const Impl& impl = Open();
  const int index = impl.FindField(field);
  if (index < 0) {
    throw Error(messages::FieldNotFound(binding_name_, Utf8FromSystem(field)));
  }
  return impl.header_.fields[static_cast<std::size_t>(index)];
}

std::string Table::TextOf(std::string_view field) const {
  const StoredField& stored = Field(field);
  if (stored.kind == StoredKind::kText) return impl_->StoredText(stored);
  return TextOfStored(stored.kind, impl_->Raw(stored), impl_->decimal_separator_);
}

double Table::FloatOf(std::string_view field) const {
  const StoredField& stored = Field(field);
  if (stored.kind == StoredKind::kText) {
    return FloatOfStored(stored.kind, impl_->StoredText(stored), impl_->decimal_separator_);
  }
  return FloatOfStored(stored.kind, impl_->Raw(stored), impl_->decimal_separator_);
}

std::int32_t Table::IntegerOf(std::string_view field) const {
  const StoredField& stored = Field(field);
  if (stored.kind == StoredKind::kText) {
    return IntegerOfStored(stored.kind, impl_->StoredText(stored), impl_->decimal_separator_);
  }
  return IntegerOfStored(stored.kind, impl_->Raw(stored), impl_->decimal_separator_);
}

void Table::StartNewRow() {
  Impl& impl = Open();
  if (impl.file_.read_only()) {
    throw Error(messages::ReadOnlyTable(impl.file_.path()));
  }
  SavePending();
  impl.pending_.assign(static_cast<std::size_t>(impl.header_.record_length), ' ');
  impl.has_pending_ = true;
  impl.past_last_ = false;
}

Table::Impl& Table::Pending() const {
  Impl& impl = Open();
  if (!impl.has_pending_) {
    throw Error(messages::NoRowStarted(impl.file_.path()));
  }
  return impl;
}

void Table::PutText(std::string_view field, std::string_view text) {
  Impl& impl = Pending();
  const StoredField& stored = Field(field);
  if (stored.kind != StoredKind::kText) {
    std::string_view trimmed = text;
    while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
    if (trimmed.empty()) {
      impl.pending_.replace(static_cast<std::size_t>(stored.offset),
                            static_cast<std::size_t>(stored.width),
                            static_cast<std::size_t>(stored.width), ' ');
      return;
    }
    std::optional<double> value = ParseDecimal(text, impl.decimal_separator_);
    if (!value) throw Error(messages::NotAFloat(Utf8FromSystem(text)));
    PutFloat(field, *value);
    return;
  }
  // Text beyond the width is dropped; the tables this program creates hold
  // one byte per character.
  std::string_view kept = text.substr(0, static_cast<std::size_t>(stored.width));
  if (impl.header_.code_page != 1252 && !IsAscii(kept)) {
    throw Error(messages::TextOutsideCodePage(Utf8FromSystem(kept), impl.file_.path(),
                                              impl.header_.code_page));
  }
  // Straight into the row, blank-padded to the width.
  const auto at = impl.pending_.begin() + stored.offset;
  const auto end = std::copy(kept.begin(), kept.end(), at);
  std::fill(end, at + stored.width, ' ');
}

void Table::PutFloat(std::string_view field, double value) {
  Impl& impl = Pending();
  const StoredField& stored = Field(field);
  std::optional<std::string> slot;
  if (stored.kind != StoredKind::kText) {
    slot = NumberField(value, stored.width, stored.decimals);
  } else if (stored.type == 'C') {
    std::string text = FormatGeneral(value, impl.decimal_separator_);
    if (text.size() <= static_cast<std::size_t>(stored.width)) {
      text.resize(static_cast<std::size_t>(stored.width), ' ');
      slot = std::move(text);
    }
  } else {
    throw Error(messages::FieldTakesNoNumbers(Utf8FromSystem(stored.name), impl.file_.path()));
  }
  if (!slot) {
    throw Error(messages::NumberDoesNotFit(FormatGeneral(value, impl.decimal_separator_),
                                           Utf8FromSystem(stored.name), impl.file_.path()));
  }
  impl.pending_.replace(static_cast<std::size_t>(stored.offset), slot->size(), *slot);
}

void Table::SaveNewRow() {
  Impl& impl = Open();
  if (!impl.has_pending_) {
    throw Error(messages::NoRowToSave(impl.file_.path()));
  }
  impl.records_.AppendRecord(impl.pending_, impl.today_);
  impl.has_pending_ = false;
  impl.changed_ = true;
  impl.MakeCurrent(impl.records_.record_count() - 1);
  impl.past_last_ = false;
}

template <class Texts>
void Table::ReadTexts(std::string_view field, Texts& texts) {
  ToFirstRow();
  Impl& impl = *impl_;
  if (impl.past_last_) return;
  const StoredField& stored = Field(field);
  const auto at = static_cast<std::size_t>(stored.offset);
  const auto width = static_cast<std::size_t>(stored.width);
  const bool text = stored.kind == StoredKind::kText;
  // Row by row as ToNextRow goes, without making each row current on the way.
  const std::int64_t rows = impl.records_.record_count();
  std::int64_t last = impl.current_;
  for (std::int64_t row = last; row < rows; ++row) {
    const char* record = impl.records_.Record(row);
    if (record[0] == kDeletedFlag) continue;
    const std::string_view raw(record + at, width);
    if (text) {
      texts.push_back(SystemFromCodePage(CutTrailingBlanks(raw), impl.header_.code_page));
    } else {
      texts.push_back(TextOfStored(stored.kind, raw, impl.decimal_separator_));
    }
    last = row;
  }
  impl.MakeCurrent(last);  // the last row stays current
  impl.past_last_ = true;
}

TextColumn Table::TextsOf(std::string_view field) {
  TextColumn texts;
  if (IsOpen()) texts.reserve(static_cast<std::size_t>(impl_->records_.record_count()));
  ReadTexts(field, texts);
  texts.DoneAdding();
  return texts;
}

DistinctTexts Table::DistinctTextsOf(std::string_view field) {
  DistinctTexts texts;
  ReadTexts(field, texts);
  return texts;
}

bool Table::FindFirstRow(std::string_view field, std::string_view key) {
  ToFirstRow();
  Impl& impl = *impl_;
  while (!impl.past_last_) {
    if (impl.TextEquals(Field(field), key)) return true;
    ToNextRow();
  }
  return false;
}

std::int64_t Table::RowCount() const {
  Impl& impl = Open();
  std::int64_t rows = 0;
  for (std::int64_t i = impl.NextLiveRow(0); i >= 0; i = impl.NextLiveRow(i + 1)) ++rows;
  impl.MakeCurrent(impl.current_);
  return rows;
}

}  // namespace pontexa::tables
