// The one place that talks to shapelib. The engine never sees the disk: its
// file hooks work on a table image in memory, so reading a record is a copy and
// appended rows are written out in one go when the table is closed.
#include "tables/dbf_image.h"

#include <shapefil.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>

#include "platform/error.h"

namespace pontexa::tables {
namespace {

struct MemoryFile {
  std::string data;
  std::size_t position = 0;
  std::vector<std::pair<std::size_t, std::size_t>> changed;  // [begin, end)

  void MarkChanged(std::size_t begin, std::size_t end) {
    if (!changed.empty() && begin <= changed.back().second && end >= changed.back().first) {
      changed.back().first = std::min(changed.back().first, begin);
      changed.back().second = std::max(changed.back().second, end);
    } else {
      changed.emplace_back(begin, end);
    }
  }
};

// The engine opens files by name; the image it is to open is handed over here
// for the length of one open or create call.
thread_local MemoryFile* image_to_open = nullptr;

class ImageToOpen {
 public:
  explicit ImageToOpen(MemoryFile* file) { image_to_open = file; }
  ~ImageToOpen() { image_to_open = nullptr; }
};

MemoryFile* AsMemory(SAFile file) { return reinterpret_cast<MemoryFile*>(file); }

bool IsTableName(std::string_view name) {
  return name.size() >= 4 && (name.ends_with(".dbf") || name.ends_with(".DBF"));
}

SAFile MemoryOpen(const char* name, const char* access) {
  // Code-page side files (.cpg) do not exist for the engine: the language
  // driver byte alone declares a table's text.
  if (image_to_open == nullptr || !IsTableName(name)) return nullptr;
  if (access[0] == 'w') image_to_open->data.clear();
  image_to_open->position = 0;
  return reinterpret_cast<SAFile>(image_to_open);
}

SAOffset MemoryRead(void* buffer, SAOffset size, SAOffset count, SAFile file) {
  MemoryFile* memory = AsMemory(file);
  if (size == 0 || memory->position >= memory->data.size()) return 0;
  const std::size_t available = memory->data.size() - memory->position;
  const std::size_t items = std::min<std::size_t>(count, available / size);
  std::memcpy(buffer, memory->data.data() + memory->position, items * size);
  memory->position += items * size;
  return items;
}

SAOffset MemoryWrite(void* buffer, SAOffset size, SAOffset count, SAFile file) {
  MemoryFile* memory = AsMemory(file);
  const std::size_t bytes = size * count;
  const std::size_t end = memory->position + bytes;
  if (end > memory->data.size()) memory->data.resize(end, '\0');
  std::memcpy(memory->data.data() + memory->position, buffer, bytes);
  memory->MarkChanged(memory->position, end);
  memory->position = end;
  return count;
}

SAOffset MemorySeek(SAFile file, SAOffset offset, int whence) {
  MemoryFile* memory = AsMemory(file);
  switch (whence) {
    case SEEK_SET:
      memory->position = offset;
      break;
    case SEEK_CUR:
      memory->position += offset;
      break;
    case SEEK_END:
      memory->position = memory->data.size() + offset;
      break;
    default:
      return static_cast<SAOffset>(-1);
  }
  return 0;
}

SAOffset MemoryTell(SAFile file) { return AsMemory(file)->position; }
int MemoryFlush(SAFile) { return 0; }
int MemoryClose(SAFile) { return 0; }
int MemoryRemove(const char*) { return 0; }
void MemoryError(const char*) {}

double LocaleFreeAtof(const char* text) {
  double value = 0;
  const char* end = text + std::strlen(text);
  while (text < end && *text == ' ') ++text;
  if (text < end && *text == '+') ++text;
  std::from_chars(text, end, value);
  return value;
}

SAHooks MemoryHooks() {
  SAHooks hooks;
  SASetupDefaultHooks(&hooks);
  hooks.FOpen = MemoryOpen;
  hooks.FRead = MemoryRead;
  hooks.FWrite = MemoryWrite;
  hooks.FSeek = MemorySeek;
  hooks.FTell = MemoryTell;
  hooks.FFlush = MemoryFlush;
  hooks.FClose = MemoryClose;
  hooks.Remove = MemoryRemove;
  hooks.Error = MemoryError;
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

[[noreturn]] void EngineFailure(const std::filesystem::path& path, const std::string& what) {
  throw Error("Error del motor de tablas al " + what + " '" + path.string() + "'");
}

}  // namespace

HeaderDate Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string NewTableImage(const Layout& layout, HeaderDate date) {
  MemoryFile file;
  SAHooks hooks = MemoryHooks();
  DbfHandlePtr handle;
  {
    ImageToOpen opening(&file);
    // LDID/87: Windows ANSI (1252), declared in the header and nowhere else.
    handle.reset(DBFCreateLL("table.dbf", "LDID/87", &hooks));
  }
  if (!handle) throw Error("Error del motor de tablas al crear una tabla");
  for (const FieldSpec& field : layout) {
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
    if (added < 0) throw Error("El motor de tablas no admite el campo '" + field.name + "'");
  }
  SetDate(handle.get(), date);
  handle.reset();  // writes the header and the end-of-file marker
  return std::move(file.data);
}

struct DbfImage::Engine {
  MemoryFile file;
  DbfHandlePtr handle;
};

DbfImage::DbfImage(std::string bytes, const TableHeader& header, const std::filesystem::path& path)
    : engine_(std::make_unique<Engine>()), path_(path) {
  engine_->file.data = std::move(bytes);
  SAHooks hooks = MemoryHooks();
  {
    ImageToOpen opening(&engine_->file);
    engine_->handle.reset(DBFOpenLL("table.dbf", "rb+", &hooks));
  }
  DBFHandle handle = engine_->handle.get();
  if (!handle) EngineFailure(path_, "abrir la tabla");
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
    throw Error("La tabla '" + path_.string() + "' tiene una estructura que este programa no lee");
  }
}

DbfImage::~DbfImage() = default;

std::int64_t DbfImage::record_count() const { return engine_->handle->nRecords; }

const char* DbfImage::Record(std::int64_t index) {
  const char* record = DBFReadTuple(engine_->handle.get(), static_cast<int>(index));
  if (record == nullptr) EngineFailure(path_, "leer la tabla");
  return record;
}

bool DbfImage::IsDeleted(std::int64_t index) {
  return DBFIsRecordDeleted(engine_->handle.get(), static_cast<int>(index)) != 0;
}

void DbfImage::AppendRecord(std::string_view record, HeaderDate date) {
  DBFHandle handle = engine_->handle.get();
  if (record.size() != static_cast<std::size_t>(handle->nRecordLength)) {
    EngineFailure(path_, "añadir una fila a la tabla");
  }
  SetDate(handle, date);
  if (!DBFWriteTuple(handle, handle->nRecords, const_cast<char*>(record.data()))) {
    EngineFailure(path_, "añadir una fila a la tabla");
  }
}

std::vector<std::pair<std::uint64_t, std::string>> DbfImage::TakeChanges() {
  engine_->handle.reset();  // flushes the last record and rewrites the header
  auto ranges = std::move(engine_->file.changed);
  std::sort(ranges.begin(), ranges.end());
  std::vector<std::pair<std::uint64_t, std::string>> changes;
  for (const auto& [begin, end] : ranges) {
    if (!changes.empty() && begin <= changes.back().first + changes.back().second.size()) {
      const std::size_t last_end = changes.back().first + changes.back().second.size();
      if (end > last_end) {
        changes.back().second.append(engine_->file.data, last_end, end - last_end);
      }
    } else {
      changes.emplace_back(begin, engine_->file.data.substr(begin, end - begin));
    }
  }
  return changes;
}

}  // namespace pontexa::tables
