// Loading whole exchange files: failures, the text in every encoding, and
// hostile files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "exchange/document.h"
#include "exchange/exchange_file.h"
#include "support/temp_dir.h"

namespace pontexa::exchange {
namespace {

namespace fs = std::filesystem;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

const fs::path kData = fs::path(PONTEXA_TEST_DATA) / "exchange";

// ASCII text as UTF-16 (little-endian) stores it.
std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

// Why the file cannot be loaded, as the run control receives it, or "(loaded)".
std::string ReasonOf(Document& document, const fs::path& file) {
  try {
    document.Load(file.string());
  } catch (const CannotLoad& failure) {
    return failure.what();
  }
  return "(loaded)";
}

// ---- Load failures ----

TEST(DocumentLoad, FailuresLeaveAnEmptyDocumentAndSayWhyInSpanish) {
  TempDir dir;
  WriteFile(dir / "good.xml", "<document><a/></document>");
  WriteFile(dir / "empty.xml", "");
  WriteFile(dir / "bad.xml", "<document>\n  <a>\n    <b></a>\n</document>\n");
  WriteFile(dir / "two-roots.xml", "<document/>\n<document/>");
  WriteFile(dir / "encoding.xml", "<?xml version=\"1.0\" encoding=\"x-no-such\"?><document/>");
  fs::create_directory(dir / "folder.xml");
  struct Case {
    std::string file;
    std::string reason;
  };
  const Case cases[] = {
      {"missing.xml", "No existe el archivo o la carpeta"},
      {"folder.xml", "Es una carpeta"},
      {"empty.xml", "El archivo está vacío"},
      {"bad.xml", "línea 3, columna 12: la etiqueta de cierre no corresponde a la de apertura"},
      {"two-roots.xml", "línea 2, columna 1: hay contenido después del final del elemento raíz"},
      {"encoding.xml", "codificación de caracteres no admitida"},
  };
  for (const Case& c : cases) {
    Document document;
    document.Load((dir / "good.xml").string());
    const std::string reason = ReasonOf(document, dir / c.file);
    EXPECT_TRUE(document.DocumentElement().IsNull()) << c.file;
    EXPECT_EQ(document.SelectNodes("/document/a").Length(), 0u) << c.file;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << c.file << ": " << reason;
  }
}

TEST(DocumentLoad, LoadsAgainAfterAFailure) {
  TempDir dir;
  WriteFile(dir / "good.xml", "<document/>");
  Document document;
  EXPECT_THROW(document.Load((dir / "missing.xml").string()), CannotLoad);
  document.Load((dir / "good.xml").string());
  EXPECT_EQ(document.DocumentElement().Name(), "document");
}

// ---- Encodings ----

class DocumentEncoding : public ::testing::TestWithParam<const char*> {
 protected:
  fs::path Fixture() const { return kData / (std::string("round-trip-") + GetParam() + ".xml"); }
};

TEST_P(DocumentEncoding, TextReadsTheSameInEveryEncoding) {
  Document document;
  document.Load(Fixture().string());
  EXPECT_EQ(document.SelectNodes("/document/teachers/teacher").Item(0).Value(),
            "N\xFA\xF1"
            "ez Pe\xF1"
            "a, Jos\xE9");
  EXPECT_EQ(document.SelectNodes("/document/teachers/teacher").Item(1).Value(),
            "O'Brien & <Hijos>");
  EXPECT_EQ(document.SelectNodes("/document/school").Item(0).Value(),
            "Colegio P\xFA"
            "blico \xABSan Andr\xE9s\xBB");
}

INSTANTIATE_TEST_SUITE_P(Encodings, DocumentEncoding,
                         ::testing::Values("UTF-8", "UTF-16", "ISO-8859-1", "ISO-8859-15",
                                           "windows-1252"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return name;
                         });

TEST(DocumentLoad, CharacterOutsideTheBasicPlaneReadsAsOneQuestionMarkFromUtf16) {
  // U+1F600 is the surrogate pair D83D DE00 in the file, one character once read.
  TempDir dir;
  WriteFile(dir / "x.xml", "\xFF\xFE" + Utf16("<document a=\"x") +
                               std::string("\x3D\xD8\x00\xDE\x41\x01", 6) +  // then Ł
                               Utf16("y\"/>"));
  Document document;
  document.Load((dir / "x.xml").string());
  EXPECT_EQ(document.DocumentElement().Attributes().NamedItem("a").Value(), "x?Ly");
}

// ---- Hostile files ----

TEST(DocumentSafety, NestedEntityBombIsRefusedQuickly) {
  TempDir dir;
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE document [\n<!ENTITY l0 \"lol\">\n";
  for (int level = 1; level <= 12; ++level) {
    xml += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) xml += "&l" + std::to_string(level - 1) + ";";
    xml += "\">\n";
  }
  WriteFile(dir / "bomb.xml", xml + "]>\n<document a=\"&l12;\">&l12;</document>\n");
  WriteFile(dir / "bomb-attribute.xml", xml + "]>\n<document a=\"&l12;\"/>\n");
  for (const char* file : {"bomb.xml", "bomb-attribute.xml"}) {
    Document document;
    const std::string reason = ReasonOf(document, dir / file);
    EXPECT_NE(reason.find("entidades"), std::string::npos) << file << ": " << reason;
  }
}

TEST(DocumentSafety, ExternalEntitiesAndDtdsAreNeverRead) {
  TempDir dir;
  WriteFile(dir / "secret.txt", "SECRETO-123");
  WriteFile(dir / "secret.dtd", "<!ENTITY filtro \"SECRETO-123\">");
  const std::string secret_url = "file://" + (dir / "secret.txt").string();
  const std::string dtd_url = "file://" + (dir / "secret.dtd").string();
  const std::vector<std::string> files = {
      // A general entity in content and in an attribute.
      "<!DOCTYPE document [<!ENTITY xxe SYSTEM \"" + secret_url +
          "\">]>\n<document><teacher id=\"t\">&xxe;</teacher></document>\n",
      // A parameter entity that would pull declarations in.
      "<!DOCTYPE document [<!ENTITY % p SYSTEM \"" + dtd_url +
          "\"> %p;]>\n<document><teacher id=\"t\">&filtro;</teacher></document>\n",
      // An external DTD subset.
      "<!DOCTYPE document SYSTEM \"" + dtd_url +
          "\">\n<document><teacher id=\"t\">&filtro;</teacher></document>\n",
  };
  for (const std::string& xml : files) {
    WriteFile(dir / "x.xml", xml);
    Document document;
    const std::string reason = ReasonOf(document, dir / "x.xml");
    if (reason == "(loaded)") EXPECT_EQ(document.DocumentElement().Value(), "") << xml;
    EXPECT_EQ(reason.find("SECRETO"), std::string::npos) << xml;
  }
  // The general entity stays a reference when the file is written back.
  WriteFile(dir / "x.xml", files[0]);
  ExchangeFile file;
  file.Load((dir / "x.xml").string());
  file.SaveWithSection((dir / "x.xml").string(), [](SectionWriter& out) {
    out.StartElement("time-tables");
    out.EndElement();
  });
  const std::string saved = ReadFile(dir / "x.xml");
  EXPECT_NE(saved.find("<teacher id=\"t\">&xxe;</teacher>"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("SECRETO"), std::string::npos) << saved;
}

TEST(DocumentSafety, ExcessiveNestingIsRefused) {
  TempDir dir;
  std::string xml;
  for (int i = 0; i < 5000; ++i) xml += "<a>";
  WriteFile(dir / "deep.xml", xml);
  Document document;
  const std::string reason = ReasonOf(document, dir / "deep.xml");
  EXPECT_NE(reason.find("profundidad"), std::string::npos) << reason;
}

}  // namespace
}  // namespace pontexa::exchange
