#include "exchange/xml_parse.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "exchange/school_records.h"
#include "support/error_message.h"
#include "support/temp_dir.h"

namespace pontexa::exchange {
namespace {

using pontexa::testing::MessageOf;

std::string Repeated(std::string head, const std::string& part, int times) {
  for (int i = 0; i < times; ++i) head += part;
  return head;
}

// Why the run's load refuses the bytes, or "(no error)".
std::string LoadFailure(const std::string& bytes) {
  pontexa::testing::TempDir dir;
  pontexa::testing::WriteFile(dir / "x.xml", bytes);
  return MessageOf([&] { ReadSchoolRecords((dir / "x.xml").string()); });
}

// The save's quick check must judge every file as the load does, or a save
// could write a file that the next run cannot load.
TEST(CheckWellFormed, AgreesWithTheFullParse) {
  struct Case {
    std::string bytes;
    bool well_formed;
  };
  const Case cases[] = {
      {"<document/>", true},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><d a=\"\x80\"/>", true},
      {"<!DOCTYPE d [<!ENTITY e \"x &amp; y\">]><d a=\"&e;\">&e;</d>", true},
      {"<!DOCTYPE d [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><d>&e;</d>", true},
      {"<d xmlns:g=\"urn:g\"><g:e/></d>", true},
      {"<d><![CDATA[<x>]]><!-- c --><?p q?></d>", true},
      {"", false},
      {"<d>", false},
      {"<d>&undeclared;</d>", false},
      {"<d a=\"1\" a=\"2\"/>", false},
      {"<d>\n<e></d>", false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><d>\xFF</d>", false},
      {"<!DOCTYPE d [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><d>&a;</d>", false},
      {Repeated("<!DOCTYPE d [<!ENTITY a \"" + std::string(10000, 'a') + "\">]><d>", "&a;", 2000) +
           "</d>",
       false},
      {Repeated("<!DOCTYPE d [<!ENTITY a \"" + std::string(10000, 'a') + "\">]><d b=\"", "&a;",
                2000) +
           "\"/>",
       false},
      {Repeated("<!DOCTYPE d [<!ENTITY a \"" + std::string(1000, 'a') + "\"><!ENTITY b \"", "&a;",
                1000) +
           "\">]><d>&b;&b;</d>",
       false},
      {"<!DOCTYPE d [<!ENTITY a \"Colegio\"><!ENTITY b \"&a; P&#250;blico &a;\">]>"
       "<d c=\"&b;\">&a;&b;&b;</d>",
       true},
  };
  for (const Case& c : cases) {
    const std::string parse_failure = LoadFailure(c.bytes);
    const std::string check_failure = MessageOf([&] { CheckWellFormed(c.bytes, "x.xml"); });
    EXPECT_EQ(parse_failure == "(no error)", c.well_formed) << c.bytes << ": " << parse_failure;
    EXPECT_EQ(check_failure, parse_failure) << c.bytes.substr(0, 60);
  }
}

// Entities that stand for far more text than the file holds are refused by what
// they expand to, counting each use, wherever the references stand.
TEST(ReadSchoolRecords, EntitiesExpandingToFarMoreThanTheFileAreRefused) {
  const std::string file =
      Repeated("<!DOCTYPE d [<!ENTITY a \"" + std::string(10000, 'a') + "\">]><d>", "&a;", 2000) +
      "</d>";
  const std::string failure = LoadFailure(file);
  EXPECT_TRUE(failure.starts_with("línea 1, columna 10")) << failure;
  EXPECT_TRUE(
      failure.ends_with(": las entidades del archivo se expanden a demasiado texto (más de "
                        "10 veces el tamaño del archivo)"))
      << failure;
}

// The save checks the file it wrote block by block: files longer than a block,
// with the error or the encoding change falling after the first block, must be
// judged as the whole file is.
TEST(CheckWellFormedFile, AgreesWithTheCheckOfTheWholeFile) {
  pontexa::testing::TempDir dir;
  const std::string filler(100000, 'x');
  const std::string cases[] = {
      "<document/>",
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?><d a=\"\x80\">" + filler + "\xE9</d>",
      std::string("\xFF\xFE<\0d\0/\0>\0", 10),
      "<!DOCTYPE d [<!ENTITY e \"x\">]><d>" + filler + "&e;</d>",
      "<d>" + filler + "&undeclared;</d>",
      "<d>" + filler + "</e>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><d>" + filler + "\xFF</d>",
      "",
  };
  for (const std::string& bytes : cases) {
    pontexa::testing::WriteFile(dir / "x.xml", bytes);
    std::size_t size = 12345;
    const std::string failure =
        MessageOf([&] { size = CheckWellFormedFile((dir / "x.xml").string(), "x.xml"); });
    EXPECT_EQ(failure, MessageOf([&] { CheckWellFormed(bytes, "x.xml"); })) << bytes.substr(0, 60);
    EXPECT_EQ(size, failure == "(no error)" ? bytes.size() : 12345u) << bytes.substr(0, 60);
  }
  // A file cut short is refused at the same place, though in other words.
  pontexa::testing::WriteFile(dir / "x.xml", "<d>" + filler);
  const std::string cut =
      MessageOf([&] { CheckWellFormedFile((dir / "x.xml").string(), "x.xml"); });
  EXPECT_EQ(cut.substr(0, 25),
            MessageOf([&] { CheckWellFormed("<d>" + filler, "x.xml"); }).substr(0, 25))
      << cut;
  EXPECT_NE(cut.find("columna 100004"), std::string::npos) << cut;
  EXPECT_THROW(CheckWellFormedFile((dir / "none.xml").string(), "none.xml"), CannotLoad);
  EXPECT_EQ(MessageOf([&] { CheckWellFormedFile((dir / "none.xml").string(), "none.xml"); }),
            "No existe el archivo o la carpeta");
}

// Bytes that do not convert from the file's encoding, after the first block:
// the parser reading block by block stops there without calling the document
// ill-formed, and the file must still be refused, as the whole bytes are.
TEST(CheckWellFormedFile, RefusesBytesThatDoNotConvert) {
  pontexa::testing::TempDir dir;
  const std::string filler(100000, 'x');
  const std::string cases[] = {
      // A shift into base64 left open where plain text resumes.
      "<?xml version=\"1.0\" encoding=\"UTF-7\"?><d>" + filler + "+AD</d>",
      // A byte windows-1252 leaves undefined.
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?><d>" + filler + "\x81</d>",
      // A Shift_JIS lead byte followed by a byte that cannot trail it.
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><d>" + filler + "\x83\x0A</d>",
  };
  for (const std::string& bytes : cases) {
    pontexa::testing::WriteFile(dir / "x.xml", bytes);
    EXPECT_THROW(CheckWellFormed(bytes, "x.xml"), CannotLoad) << bytes.substr(0, 60);
    EXPECT_THROW(CheckWellFormedFile((dir / "x.xml").string(), "x.xml"), CannotLoad)
        << bytes.substr(0, 60);
  }
}

}  // namespace
}  // namespace pontexa::exchange
