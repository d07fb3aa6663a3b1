// Any bytes as a dBase table file: checked, opened, scanned, every field of
// every row read in the three ways, then a row appended and the table read
// again. Damaged files must end in pontexa::Error, never in a crash, a hang or
// a read outside the file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/regional_settings.h"
#include "tables/table_header.h"
#include "tables/table.h"
#include "tables/table_store.h"
#include "work_folder.h"

namespace {

namespace fs = std::filesystem;
using pontexa::Error;
using pontexa::HoldKind;
using pontexa::tables::Table;
using pontexa::tables::TableHeader;
using pontexa::tables::TableStore;

const fs::path& WorkFolder() {
  static const fs::path folder = pontexa::fuzz::MakeWorkFolder("dbf");
  return folder;
}

void WriteBytes(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) std::abort();
}

// Reads every field of every row; numbers that do not read are normal failures.
void ReadEveryField(Table& table, const TableHeader& header) {
  std::int64_t rows = 0;
  for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow()) {
    for (const auto& field : header.fields) {
      std::string text = table.TextOf(field.name);
      try {
        (void)table.IntegerOf(field.name);
      } catch (const Error&) {
      }
      try {
        (void)table.FloatOf(field.name);
      } catch (const Error&) {
      }
      // On the first row, the lookup of its own text must stop right there.
      if (rows == 0 && !table.FindFirstRow(field.name, text)) std::abort();
    }
    // A scan never visits more rows than the header records.
    if (++rows > header.row_count) std::abort();
  }
  if (table.RowCount() != rows) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path path = WorkFolder() / "T.DBF";
  WriteBytes(path, data, size);
  const std::string_view image(reinterpret_cast<const char*>(data), size);

  TableHeader header;
  bool header_ok = true;
  try {
    header = pontexa::tables::ReadTableHeader(image, size, path);
  } catch (const Error&) {
    header_ok = false;
  }

  for (char separator : {',', '.'}) {
    const TableStore store(WorkFolder(), pontexa::RegionalSettings{separator});
    Table table(store, "T");
    try {
      table.OpenTable(separator == ',' ? HoldKind::kShared : HoldKind::kExclusive);
    } catch (const Error&) {
      // What the header check refuses is never opened, and the reverse.
      if (header_ok) std::abort();
      return 0;
    }
    if (!header_ok) std::abort();
    try {
      ReadEveryField(table, header);
    } catch (const Error&) {
      // Only a field that cannot be found may fail here, and every field is known.
      std::abort();
    }
  }

  // Appending to the damaged-but-accepted table, then reading it back.
  const TableStore store(WorkFolder(), pontexa::RegionalSettings{','});
  {
    Table table(store, "T");
    table.OpenTable(HoldKind::kShared);
    try {
      table.StartNewRow();
      for (const auto& field : header.fields) {
        if (field.kind == pontexa::tables::StoredKind::kText) {
          table.PutText(field.name, "Lunes ñ 12,5");
        } else {
          table.PutFloat(field.name, 12.5);
        }
      }
      table.SaveNewRow();
      table.CloseTable();
    } catch (const Error&) {
      // A table opened for reading only, or a field kind that cannot be written.
      return 0;
    }
  }
  Table again(store, "T");
  try {
    again.OpenTable(HoldKind::kShared);
  } catch (const Error&) {
    std::abort();  // a table the program itself appended to must open again
  }
  if (again.RowCount() < 1) std::abort();
  return 0;
}
