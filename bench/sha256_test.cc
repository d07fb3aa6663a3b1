#include "sha256.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "dbf_file.h"

namespace pontexa::bench {
namespace {

TEST(Sha256, TableDigestIgnoresOnlyTheDateOfLastUpdate) {
  const auto dir =
      std::filesystem::temp_directory_path() /
      ("sha256_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  DbfWriter writer({{"COD", 'C', 4}}, 0x57);
  writer.AddRow({"MAT"});
  std::string bytes = writer.Bytes();
  const auto write = [&](const char* name, const std::string& content) {
    std::ofstream(dir / name, std::ios::binary) << content;
    return dir / name;
  };
  const auto original = write("a.dbf", bytes);
  bytes[1] = 99;  // another day
  bytes[3] = 31;
  const auto other_day = write("b.dbf", bytes);
  bytes[bytes.size() - 3] = 'X';  // another row
  const auto other_row = write("c.dbf", bytes);

  EXPECT_EQ(Sha256OfTableFile(original), Sha256OfTableFile(other_day));
  EXPECT_NE(Sha256OfFile(original), Sha256OfFile(other_day));
  EXPECT_NE(Sha256OfTableFile(original), Sha256OfTableFile(other_row));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pontexa::bench
