// The six tables as the builds leave them on disk: the fields in each file's
// header are exactly the fields of its layout, in order, with the layout's
// text widths. A build that puts a value into a field its layout lacks fails
// there, so building the sample school also shows that every field a build
// writes is in its layout.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "exchange/school_records.h"
#include "platform/regional_settings.h"
#include "support/temp_dir.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"
#include "to_horaplan/table_builds.h"

namespace pontexa::to_horaplan {
namespace {

struct StoredField {
  std::string name;
  char type = 0;
  int width = 0;
};

// The field descriptors of a dBase file, read straight from its header.
std::vector<StoredField> FieldsOnDisk(const std::filesystem::path& path) {
  const std::string bytes = testing::ReadFile(path);
  std::vector<StoredField> fields;
  for (std::size_t at = 32; at + 32 <= bytes.size() && bytes[at] != '\x0D'; at += 32) {
    std::string name = bytes.substr(at, 11);
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    fields.push_back({name, bytes[at + 11], static_cast<std::uint8_t>(bytes[at + 16])});
  }
  return fields;
}

TEST(TableLayouts, EveryBuiltTableHoldsExactlyTheFieldsOfItsLayout) {
  testing::TempDir dir;
  tables::TableStore store(dir.path(), RegionalSettings{','});
  exchange::SchoolRecords document;
  ASSERT_NO_THROW(document = exchange::ReadSchoolRecords(
                      (std::filesystem::path(PONTEXA_EXAMPLES) / "instituto.xml").string()));
  BuildSubjectTable(document, store);
  BuildTeacherTable(document, store);
  BuildRoomTable(document, store);
  BuildGroupTable(document, store);
  BuildAssignmentTable(document, store);
  CreateDayHourTable(store);

  const struct {
    const char* table;
    const tables::Layout& layout;
  } cases[] = {
      {tables::kAsignomt, tables::AsignomtLayout()},
      {tables::kProft, tables::ProftLayout()},
      {tables::kAulat, tables::AulatLayout()},
      {tables::kGrupost, tables::GrupostLayout()},
      {tables::kAsigt, tables::AsigtLayout()},
      {tables::kDiashorast, tables::DiashorastLayout()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    const std::vector<StoredField> stored = FieldsOnDisk(store.TablePath(c.table));
    ASSERT_EQ(stored.size(), c.layout.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
      const tables::FieldLayout& field = c.layout[i];
      EXPECT_EQ(stored[i].name, field.name);
      if (field.type == tables::FieldType::kText) {
        EXPECT_EQ(stored[i].type, 'C') << field.name;
        EXPECT_EQ(stored[i].width, field.width) << field.name;
      } else {
        EXPECT_NE(stored[i].type, 'C') << field.name;
      }
    }
  }
}

}  // namespace
}  // namespace pontexa::to_horaplan
