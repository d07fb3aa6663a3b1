// The one place that talks to shapelib. The engine reaches files only through
// the hooks below: stored records come from the table file in large blocks,
// and what the engine writes (appended rows, the header) collects in memory
// until it is written out in large pieces.
#include "tables/dbf_image.h"

#include <shapefil.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>

#include "platform/env.h"
#include "platform/error.h"
#include "tables/messages.h"

namespace pontexa::tables {
namespace {

constexpr std::size_t kReadBlock = 256 * 1024;
constexpr std::size_t kWriteBlock = 1024 * 1024;
// Appended bytes kept in memory after a block is written: the engine rewrites
// the end-of-file marker where the next record starts.
constexpr std::size_t kKeptTail = 64 * 1024;

// The file as the engine sees it: [0, head) in memory, [head, tail_start) in
// the table file on disk, [tail_start, size) in memory. The engine only
// rewrites the header and appends, so the disk part never changes under it.
struct BackedFile {
  const LockedFile* disk = nullptr;  // none for a new table built in memory
  std::string head;
  std::size_t head_changed_begin = std::string::npos;
  std::size_t head_changed_end = 0;
  std::uint64_t tail_start = 0;
  std::string tail;
  std::vector<char> window;  // a block of the disk part, from window_start
  std::uint64_t window_start = 0;
  std::uint64_t position = 0;
  Status error;  // the last failure, for the message

  std::uint64_t size() const { return tail_start + tail.size(); }

  std::size_t Read(char* out, std::size_t wanted) {
    std::size_t done = 0;
    while (done < wanted) {
      const std::uint64_t at = position + done;
      const std::size_t left = wanted - done;
      std::size_t piece = 0;
      if (at < head.size()) {
        piece = std::min<std::size_t>(left, head.size() - at);
        std::memcpy(out + done, head.data() + at, piece);
      } else if (at < tail_start) {
        if (at < window_start || at >= window_start + window.size()) {
          if (disk == nullptr) break;
          window.resize(
              static_cast<std::size_t>(std::min<std::uint64_t>(kReadBlock, tail_start - at)));
          std::size_t got = 0;
          error = disk->ReadAt(at, window.data(), window.size(), &got);
          if (error.ok() && got == 0) error = Status::Of(Status::Code::kOther);  // the file shrank
          if (!error.ok()) {
            window.clear();
            break;
          }
          window.resize(got);
          window_start = at;
        }
        piece = std::min<std::size_t>(left, window_start + window.size() - at);
        std::memcpy(out + done, window.data() + (at - window_start), piece);
      } else {
        const std::uint64_t offset = at - tail_start;
        if (offset >= tail.size()) break;
        piece = std::min<std::size_t>(left, tail.size() - offset);
        std::memcpy(out + done, tail.data() + offset, piece);
      }
      done += piece;
    }
    position += done;
    return done;
  }

  // The `count` bytes at `at` of the disk part, read through the window, or
  // null when the disk cannot give them all.
  const char* Stored(std::uint64_t at, std::size_t count) {
    if (at < window_start || at + count > window_start + window.size()) {
      if (disk == nullptr || at < head.size() || at + count > tail_start) return nullptr;
      window.resize(static_cast<std::size_t>(
          std::min<std::uint64_t>(std::max(kReadBlock, count), tail_start - at)));
      std::size_t got = 0;
      if (!disk->ReadAt(at, window.data(), window.size(), &got).ok() || got < count) {
        window.clear();
        return nullptr;
      }
      window.resize(got);
      window_start = at;
    }
    return window.data() + (at - window_start);
  }

  bool Write(const char* bytes, std::size_t count) {
    if (position >= tail_start) {
      const std::size_t offset = static_cast<std::size_t>(position - tail_start);
      if (offset + count > tail.size()) tail.resize(offset + count, '\0');
      std::memcpy(tail.data() + offset, bytes, count);
    } else if (position + count <= head.size()) {
      std::memcpy(head.data() + position, bytes, count);
      head_changed_begin = std::min<std::size_t>(head_changed_begin, position);
      head_changed_end = std::max<std::size_t>(head_changed_end, position + count);
    } else {
      // Stored rows are never rewritten.
      error = Status(Status::Code::kOther, messages::InvalidArgument());
      return false;
    }
    position += count;
    return true;
  }

  // Writes the whole records among all but the last kKeptTail appended bytes
  // to the table file, followed by an end-of-file marker that the next block
  // overwrites. `reached` receives the end of the rows on disk.
  Status WriteTailBlock(std::size_t record_length, std::uint64_t& reached) {
    reached = tail_start;
    if (disk == nullptr || tail.size() <= kKeptTail) return Status();
    const std::size_t count = (tail.size() - kKeptTail) / record_length * record_length;
    if (count == 0) return Status();
    std::size_t written = 0;
    Status status = disk->TryWriteAt(tail_start, std::string_view(tail).substr(0, count), &written);
    reached = tail_start + written;
    if (status.ok()) status = disk->TryWriteAt(reached, "\x1A");
    if (!status.ok()) return status;
    tail.erase(0, count);
    tail_start += count;
    return Status();
  }
};

// The engine opens files by name; the file it is to open is handed over here
// for the length of one open or create call.
thread_local BackedFile* file_to_open = nullptr;

class FileToOpen {
 public:
  explicit FileToOpen(BackedFile* file) { file_to_open = file; }
  ~FileToOpen() { file_to_open = nullptr; }
};

BackedFile* AsBacked(SAFile file) { return reinterpret_cast<BackedFile*>(file); }

bool IsTableName(std::string_view name) { return name.ends_with(".dbf") || name.ends_with(".DBF"); }

SAFile HookOpen(const char* name, const char* access) {
  // Code-page side files (.cpg) do not exist for the engine: the language
  // driver byte alone declares a table's text.
  if (file_to_open == nullptr || !IsTableName(name)) return nullptr;
  if (access[0] == 'w') {
    file_to_open->head.clear();
    file_to_open->tail.clear();
  }
  file_to_open->position = 0;
  return reinterpret_cast<SAFile>(file_to_open);
}

SAOffset HookRead(void* buffer, SAOffset size, SAOffset count, SAFile file) {
  if (size == 0) return 0;
  return AsBacked(file)->Read(static_cast<char*>(buffer), size * count) / size;
}

SAOffset HookWrite(void* buffer, SAOffset size, SAOffset count, SAFile file) {
  return AsBacked(file)->Write(static_cast<const char*>(buffer), size * count) ? count : 0;
}

SAOffset HookSeek(SAFile file, SAOffset offset, int whence) {
  BackedFile* backed = AsBacked(file);
  switch (whence) {
    case SEEK_SET:
      backed->position = offset;
      break;
    case SEEK_CUR:
      backed->position += offset;
      break;
    case SEEK_END:
      backed->position = backed->size() + offset;
      break;
    default:
      return static_cast<SAOffset>(-1);
  }
  return 0;
}

SAOffset HookTell(SAFile file) { return AsBacked(file)->position; }
int HookFlush(SAFile) { return 0; }
int HookClose(SAFile) { return 0; }
int HookRemove(const char*) { return 0; }
void HookError(const char*) {}

double LocaleFreeAtof(const char* text) {
  double value = 0;
  const char* end = text + std::strlen(text);
  while (text < end && *text == ' ') ++text;
  if (text < end && *text == '+') ++text;
  std::from_chars(text, end, value);
  return value;
}

SAHooks Hooks() {
  SAHooks hooks;
  SASetupDefaultHooks(&hooks);
  hooks.FOpen = HookOpen;
  hooks.FRead = HookRead;
  hooks.FWrite = HookWrite;
  hooks.FSeek = HookSeek;
  hooks.FTell = HookTell;
  hooks.FFlush = HookFlush;
  hooks.FClose = HookClose;
  hooks.Remove = HookRemove;
  hooks.Error = HookError;
  hooks.Atof = LocaleFreeAtof;
  return hooks;
}

struct HandleCloser {
  void operator()(DBFHandle handle) const { DBFClose(handle); }
};
using DbfHandlePtr = std::unique_ptr<DBFInfo, HandleCloser>;

void SetDate(DBFHandle handle, HeaderDate date) {
  DBFSetLastModifiedDate(handle, std::clamp(date.year - 1900, 0, 255), date.month, date.day);
}

}  // namespace

HeaderDate Today() {
  Env& env = Env::Current();
  const std::tm local = env.LocalTime(env.Now());
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string NewTableImage(const Layout& layout, HeaderDate date) {
  BackedFile file;
  SAHooks hooks = Hooks();
  DbfHandlePtr handle;
  {
    FileToOpen opening(&file);
    // LDID/87: Windows ANSI (1252), declared in the header and nowhere else.
    handle.reset(DBFCreateLL("table.dbf", "LDID/87", &hooks));
  }
  if (!handle) throw Error(messages::EngineCannotCreate());
  for (const FieldLayout& field : layout) {
    int added = -1;
    switch (field.type) {
      case FieldType::kText:
        added = DBFAddField(handle.get(), field.name.c_str(), FTString, field.width, 0);
        break;
      case FieldType::kInteger:
        added = DBFAddField(handle.get(), field.name.c_str(), FTInteger, kIntegerWidth, 0);
        break;
      case FieldType::kFloat:
        added =
            DBFAddField(handle.get(), field.name.c_str(), FTDouble, kFloatWidth, kFloatDecimals);
        break;
    }
    if (added < 0) throw Error(messages::EngineRefusesField(field.name));
  }
  SetDate(handle.get(), date);
  handle.reset();  // writes the header and the end-of-file marker
  return file.head + file.tail;
}

struct DbfImage::Engine {
  BackedFile file;
  DbfHandlePtr handle;
  std::filesystem::path path;
  std::uint64_t header_length = 0;
  std::uint64_t record_length = 0;
  HeaderDate date;        // of the last change
  Status write_error;     // the failure that ended writing, ok while none
  bool appended = false;  // a row has been handed to the engine

  // `message` builds the text from the path and why the file failed, if it did.
  [[noreturn]] void Failure(std::string (*message)(const std::filesystem::path&,
                                                   std::string_view)) const {
    throw Error(message(path, file.error.text()));
  }

  [[noreturn]] void WriteFailure() const {
    throw Error(messages::CannotWriteTable(path, write_error.text()));
  }

  // The rows that lie wholly in the first `end` bytes of the file.
  std::uint64_t RowsBefore(std::uint64_t end) const {
    return end < header_length ? 0 : (end - header_length) / record_length;
  }

  // Writes the date and the row count of the header straight to the file.
  Status WriteRowCount(std::uint64_t rows) const {
    std::string start = file.head.substr(0, 8);
    start[1] = static_cast<char>(std::clamp(date.year - 1900, 0, 255));
    start[2] = static_cast<char>(date.month);
    start[3] = static_cast<char>(date.day);
    for (int i = 0; i < 4; ++i) start[4 + i] = static_cast<char>(rows >> (8 * i) & 0xFF);
    return file.disk->TryWriteAt(0, start);
  }

  // A write failed with only the first `reached` bytes of the file in place.
  // The file is cut back to the rows wholly written and its header counts
  // them, so that every reader finds the same rows, those that reached the
  // disk. A disk that is full may refuse the end-of-file marker or the count
  // as well; cutting the file first frees the room they need. Nothing can be
  // written afterwards.
  [[noreturn]] void FailWrite(const Status& error, std::uint64_t reached) {
    write_error = error;
    const std::uint64_t rows = RowsBefore(reached);
    const std::uint64_t end = header_length + rows * record_length;
    // Every step keeps the count on disk within the rows on disk, so that even
    // a run cut short here leaves a table that reads the same everywhere.
    if (file.disk->TryTruncate(end).ok()) (void)file.disk->TryWriteAt(end, "\x1A");
    (void)WriteRowCount(rows);
    WriteFailure();
  }
};

DbfImage::DbfImage(const LockedFile& file, std::string_view start, const TableHeader& header)
    : engine_(std::make_unique<Engine>()) {
  Engine& engine = *engine_;
  engine.path = file.path();
  engine.file.disk = &file;
  engine.file.head = std::string(start.substr(0, static_cast<std::size_t>(header.header_length)));
  engine.header_length = static_cast<std::uint64_t>(header.header_length);
  engine.record_length = static_cast<std::uint64_t>(header.record_length);
  engine.date = {1900 + static_cast<unsigned char>(start[1]), static_cast<unsigned char>(start[2]),
                 static_cast<unsigned char>(start[3])};
  engine.file.tail_start = static_cast<std::uint64_t>(header.header_length) +
                           static_cast<std::uint64_t>(header.row_count) *
                               static_cast<std::uint64_t>(header.record_length);
  SAHooks hooks = Hooks();
  {
    FileToOpen opening(&engine.file);
    engine.handle.reset(DBFOpenLL("table.dbf", "rb+", &hooks));
  }
  DBFHandle handle = engine.handle.get();
  if (!handle) engine.Failure(messages::EngineCannotOpen);
  // The engine must see the table exactly as the header check did.
  bool same = handle->nRecords == header.row_count &&
              handle->nRecordLength == header.record_length &&
              handle->nHeaderLength == header.header_length &&
              handle->nFields == static_cast<int>(header.fields.size());
  for (int i = 0; same && i < handle->nFields; ++i) {
    same = handle->panFieldOffset[i] == header.fields[i].offset &&
           handle->panFieldSize[i] == header.fields[i].width;
  }
  if (!same) {
    throw Error(messages::UnreadableStructure(engine.path));
  }
}

DbfImage::~DbfImage() = default;

std::int64_t DbfImage::record_count() const { return engine_->handle->nRecords; }

const char* DbfImage::Record(std::int64_t index) {
  Engine& engine = *engine_;
  // Until a row is appended the engine holds nothing of its own: stored rows
  // are read straight from the file, without its two copies of each.
  if (!engine.appended && index >= 0 && index < record_count()) {
    const std::uint64_t at =
        engine.header_length + static_cast<std::uint64_t>(index) * engine.record_length;
    if (const char* record =
            engine.file.Stored(at, static_cast<std::size_t>(engine.record_length))) {
      return record;
    }
  }
  const char* record = DBFReadTuple(engine_->handle.get(), static_cast<int>(index));
  if (record == nullptr) engine_->Failure(messages::EngineCannotRead);
  return record;
}

void DbfImage::AppendRecord(std::string_view record, HeaderDate date) {
  Engine& engine = *engine_;
  if (!engine.write_error.ok()) engine.WriteFailure();
  DBFHandle handle = engine.handle.get();
  if (record.size() != static_cast<std::size_t>(handle->nRecordLength)) {
    engine.Failure(messages::EngineCannotAppend);
  }
  SetDate(handle, date);
  engine.date = date;
  engine.appended = true;
  if (!DBFWriteTuple(handle, handle->nRecords, const_cast<char*>(record.data()))) {
    engine.Failure(messages::EngineCannotAppend);
  }
  if (engine.file.tail.size() >= kWriteBlock) {
    std::uint64_t reached = 0;
    const auto record_length = static_cast<std::size_t>(engine.record_length);
    if (Status error = engine.file.WriteTailBlock(record_length, reached); !error) {
      engine.FailWrite(error, reached);
    }
    // The header counts the rows now on disk, so that a run cut short from
    // here on leaves a table of them rather than one that readers disagree on.
    const std::uint64_t on_disk = engine.RowsBefore(engine.file.tail_start);
    if (Status error = engine.WriteRowCount(on_disk); !error) {
      engine.FailWrite(error, engine.file.tail_start);
    }
  }
}

void DbfImage::Finish() {
  Engine& engine = *engine_;
  // After a failed write the file already holds what could be kept, and the
  // failure has been reported.
  if (!engine.write_error.ok()) return;
  engine.handle.reset();  // the engine writes its last record and the header
  BackedFile& file = engine.file;
  // Rows first, then the header that counts them.
  if (!file.tail.empty()) {
    std::size_t written = 0;
    if (Status error = file.disk->TryWriteAt(file.tail_start, file.tail, &written); !error) {
      engine.FailWrite(error, file.tail_start + written);
    }
  }
  if (file.head_changed_begin < file.head_changed_end) {
    const std::string_view changed = std::string_view(file.head).substr(
        file.head_changed_begin, file.head_changed_end - file.head_changed_begin);
    if (Status error = file.disk->TryWriteAt(file.head_changed_begin, changed); !error) {
      engine.FailWrite(error, file.size());
    }
  }
}

}  // namespace pontexa::tables
