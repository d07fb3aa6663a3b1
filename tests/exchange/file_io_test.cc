#include "exchange/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/error.h"
#include "support/temp_dir.h"

namespace pontexa::exchange {
namespace {

namespace fs = std::filesystem;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

TEST(ReplaceFileAtomically, RejectedContentLeavesTheOriginalAndNoTemporary) {
  TempDir dir;
  WriteFile(dir / "x.xml", "old");
  std::string seen;
  try {
    ReplaceFileAtomically((dir / "x.xml").string(), "new", [&seen](std::string_view written) {
      seen = written;
      return std::string("El contenido no vale");
    });
    ADD_FAILURE() << "replaced";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "No se puede guardar el archivo '" +
                                             (dir / "x.xml").string() + "': El contenido no vale");
  }
  EXPECT_EQ(seen, "new");  // the check reads what reached the disk
  EXPECT_EQ(ReadFile(dir / "x.xml"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Pieces of every size, some larger than a block, reach the file whole and in order.
TEST(BlockWriter, WritesEveryPieceInOrder) {
  TempDir dir;
  std::string expected;
  std::string got;
  WriteFileAtomically(
      (dir / "x.xml").string(),
      [&expected](File* file) {
        BlockWriter writer(file);
        for (std::size_t size : {1u, 70000u, 65535u, 3u, 200000u, 65536u, 0u, 17u}) {
          std::string piece(size, '\0');
          for (std::size_t i = 0; i < size; ++i) piece[i] = static_cast<char>(expected.size() + i);
          expected += piece;
          EXPECT_TRUE(writer.Append(piece));
        }
        EXPECT_EQ(writer.Written(), expected.size());
        return writer.Finish();
      },
      [&got](const std::string& written) {
        // Read block by block, as the check of a save does.
        return ReadFileInBlocks(written, [&got](std::string_view block) {
          EXPECT_LE(block.size(), BlockWriter::kBlockSize);
          got.append(block);
          return true;
        });
      });
  EXPECT_EQ(got, expected);
  EXPECT_EQ(ReadFile(dir / "x.xml"), expected);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(WriteFileAtomically, FailedWriteLeavesTheOriginalAndNoTemporary) {
  TempDir dir;
  WriteFile(dir / "x.xml", "old");
  bool checked = false;
  EXPECT_THROW(WriteFileAtomically(
                   (dir / "x.xml").string(),
                   [](File* file) {
                     BlockWriter writer(file);
                     writer.Append("partial");
                     return std::string("No queda espacio en el disco");
                   },
                   [&checked](const std::string&) {
                     checked = true;
                     return std::string();
                   }),
               Error);
  EXPECT_FALSE(checked);
  EXPECT_EQ(ReadFile(dir / "x.xml"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ReadWholeFile, ReadsEveryByteOrSaysWhyNot) {
  TempDir dir;
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  WriteFile(dir / "big.bin", big);
  std::string bytes;
  EXPECT_EQ(ReadWholeFile((dir / "big.bin").string(), bytes), "");
  EXPECT_EQ(bytes, big);
  EXPECT_EQ(ReadWholeFile((dir / "none").string(), bytes), "No existe el archivo o la carpeta");
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(ReadWholeFile("", bytes), "No se ha indicado ningún archivo");
}

}  // namespace
}  // namespace pontexa::exchange
