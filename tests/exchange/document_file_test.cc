// Loading and saving whole exchange files: failures, fidelity in every
// encoding, hostile files and failed saves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "exchange/document.h"
#include "platform/error.h"
#include "support/temp_dir.h"

namespace pontexa::exchange {
namespace {

namespace fs = std::filesystem;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

const fs::path kData = fs::path(PONTEXA_TEST_DATA) / "exchange";

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// ASCII text as it is stored in the file's encoding (the fixtures' UTF-16 is
// little-endian).
std::string Encoded(const std::string& ascii, bool utf16) {
  if (!utf16) return ascii;
  std::string bytes;
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

// ---- Load failures ----

TEST(DocumentLoad, FailuresGiveFalseAnEmptyDocumentAndASpanishReason) {
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
    ASSERT_TRUE(document.Load((dir / "good.xml").string()));
    EXPECT_FALSE(document.Load((dir / c.file).string())) << c.file;
    EXPECT_TRUE(document.DocumentElement().IsNull()) << c.file;
    EXPECT_EQ(document.SelectNodes("/document/a").Length(), 0u) << c.file;
    EXPECT_NE(document.LoadFailure().find(c.reason), std::string::npos)
        << c.file << ": " << document.LoadFailure();
  }
}

TEST(DocumentLoad, SuccessClearsTheEarlierFailure) {
  TempDir dir;
  WriteFile(dir / "good.xml", "<document/>");
  Document document;
  EXPECT_FALSE(document.Load((dir / "missing.xml").string()));
  EXPECT_TRUE(document.Load((dir / "good.xml").string()));
  EXPECT_EQ(document.LoadFailure(), "");
}

// ---- Fidelity ----

class DocumentRoundTrip : public ::testing::TestWithParam<const char*> {
 protected:
  fs::path Fixture() const { return kData / (std::string("round-trip-") + GetParam() + ".xml"); }
  bool Utf16() const { return std::string(GetParam()) == "UTF-16"; }
};

TEST_P(DocumentRoundTrip, UntouchedFileIsSavedByteForByte) {
  TempDir dir;
  fs::copy_file(Fixture(), dir / "exchange.xml");
  Document document;
  ASSERT_TRUE(document.Load((dir / "exchange.xml").string())) << document.LoadFailure();
  EXPECT_EQ(document.SelectNodes("/document/teachers/teacher").Item(0).Value(),
            "N\xFA\xF1"
            "ez Pe\xF1"
            "a, Jos\xE9");
  EXPECT_EQ(document.SelectNodes("/document/teachers/teacher").Item(1).Value(),
            "O'Brien & <Hijos>");
  EXPECT_EQ(document.SelectNodes("/document/school").Item(0).Value(),
            "Colegio P\xFA"
            "blico \xABSan Andr\xE9s\xBB");
  document.Save((dir / "exchange.xml").string());
  EXPECT_EQ(ReadFile(dir / "exchange.xml"), ReadFile(Fixture()));
}

TEST_P(DocumentRoundTrip, NewSectionLeavesEverythingElseAsItWas) {
  TempDir dir;
  fs::copy_file(Fixture(), dir / "exchange.xml");
  Document document;
  ASSERT_TRUE(document.Load((dir / "exchange.xml").string()));
  Element section = document.CreateElement("time-tables");
  Element activity = document.CreateElement("activity");
  // 8-bit text: "€" and "Œ" are missing from ISO-8859-1, "á" is in all of them.
  activity.SetAttribute("name", "Pl\xE1stica \x80 \x8C");
  section.AppendChild(activity);
  document.DocumentElement().AppendChild(section);
  document.Save((dir / "exchange.xml").string());

  const std::string original = ReadFile(Fixture());
  const std::string saved = ReadFile(dir / "exchange.xml");
  const std::string end = Encoded("</document>\n", Utf16());
  std::size_t cut = original.size() - end.size();
  ASSERT_EQ(original.substr(cut), end);
  ASSERT_GT(saved.size(), original.size());
  EXPECT_EQ(saved.substr(0, cut), original.substr(0, cut));
  EXPECT_EQ(saved.substr(saved.size() - end.size()), end);
  EXPECT_EQ(saved.find(Encoded("?", Utf16()), cut), std::string::npos);

  Document again;
  ASSERT_TRUE(again.Load((dir / "exchange.xml").string())) << again.LoadFailure();
  EXPECT_EQ(again.SelectNodes("/document/time-tables/activity")
                .Item(0)
                .AsElement()
                .Attributes()
                .NamedItem("name")
                .Value(),
            "Pl\xE1stica \x80 \x8C");
}

INSTANTIATE_TEST_SUITE_P(Encodings, DocumentRoundTrip,
                         ::testing::Values("UTF-8", "UTF-16", "ISO-8859-1", "ISO-8859-15",
                                           "windows-1252"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return name;
                         });

TEST(DocumentSave, CharactersTheEncodingLacksBecomeCharacterReferences) {
  TempDir dir;
  WriteFile(dir / "x.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<document/>\n");
  Document document;
  ASSERT_TRUE(document.Load((dir / "x.xml").string()));
  document.DocumentElement().SetAttribute("name", "\x80\xE9");
  document.Save((dir / "x.xml").string());
  EXPECT_EQ(ReadFile(dir / "x.xml"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<document name=\"&#8364;\xE9\"/>\n");
}

TEST(DocumentSave, UndeclaredUtf8KeepsItsDeclarationByteOrderMarkAndCharacters) {
  const std::string body = "<document name=\"Jos\xC3\xA9\">\xC3\x91u \xE2\x82\xAC</document>\n";
  const std::string prologs[] = {
      "",
      "<?xml version=\"1.0\"?>\n",
      "<?xml version=\"1.0\" standalone=\"yes\"?>\n",
      "\xEF\xBB\xBF",
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
  };
  TempDir dir;
  for (const std::string& prolog : prologs) {
    WriteFile(dir / "x.xml", prolog + body);
    Document document;
    ASSERT_TRUE(document.Load((dir / "x.xml").string())) << prolog;
    document.Save((dir / "x.xml").string());
    EXPECT_EQ(ReadFile(dir / "x.xml"), prolog + body) << prolog;
  }
}

TEST(DocumentSave, UndeclaredUtf16StaysUtf16) {
  TempDir dir;
  const std::string xml = Encoded("<document/>\n", true);
  WriteFile(dir / "x.xml", "\xFF\xFE" + xml);
  Document document;
  ASSERT_TRUE(document.Load((dir / "x.xml").string()));
  document.Save((dir / "x.xml").string());
  EXPECT_EQ(ReadFile(dir / "x.xml"),
            "\xFF\xFE" + Encoded("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n", true) + xml);
}

TEST(DocumentLoad, CharacterOutsideTheBasicPlaneReadsAsOneQuestionMarkFromUtf16) {
  // U+1F600 is the surrogate pair D83D DE00 in the file, one character once read.
  TempDir dir;
  WriteFile(dir / "x.xml", "\xFF\xFE" + Encoded("<document a=\"x", true) +
                               std::string("\x3D\xD8\x00\xDE\x41\x01", 6) +  // then Ł
                               Encoded("y\"/>", true));
  Document document;
  ASSERT_TRUE(document.Load((dir / "x.xml").string())) << document.LoadFailure();
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
    EXPECT_FALSE(document.Load((dir / file).string())) << file;
    EXPECT_NE(document.LoadFailure().find("entidades"), std::string::npos)
        << document.LoadFailure();
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
    if (document.Load((dir / "x.xml").string())) {
      EXPECT_EQ(document.DocumentElement().Value(), "") << xml;
      document.Save((dir / "saved.xml").string());
      EXPECT_EQ(ReadFile(dir / "saved.xml").find("SECRETO"), std::string::npos) << xml;
    }
    EXPECT_EQ(document.LoadFailure().find("SECRETO"), std::string::npos) << xml;
  }
  // The general entity stays a reference, written back as it was.
  WriteFile(dir / "x.xml", files[0]);
  Document document;
  ASSERT_TRUE(document.Load((dir / "x.xml").string()));
  document.Save((dir / "x.xml").string());
  EXPECT_NE(ReadFile(dir / "x.xml").find("<teacher id=\"t\">&xxe;</teacher>"), std::string::npos);
}

TEST(DocumentSafety, ExcessiveNestingIsRefused) {
  TempDir dir;
  std::string xml;
  for (int i = 0; i < 5000; ++i) xml += "<a>";
  WriteFile(dir / "deep.xml", xml);
  Document document;
  EXPECT_FALSE(document.Load((dir / "deep.xml").string()));
  EXPECT_NE(document.LoadFailure().find("profundidad"), std::string::npos)
      << document.LoadFailure();
}

// ---- Saves that fail ----

class DocumentSaveFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    original_ = "<?xml version=\"1.0\"?>\n<document>\n  <teachers/>\n</document>\n";
    WriteFile(dir_ / "exchange.xml", original_);
    ASSERT_TRUE(document_.Load((dir_ / "exchange.xml").string()));
    // Enough new content to make the saved file much larger than the original.
    Element root = document_.DocumentElement();
    for (int i = 0; i < 500; ++i) {
      Element input = document_.CreateElement("input");
      input.SetAttribute("id", "input" + std::to_string(i));
      root.AppendChild(input);
    }
  }
  void ExpectFailure(const fs::path& path, const std::string& why) {
    try {
      document_.Save(path.string());
      ADD_FAILURE() << "saved " << path;
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "No se puede guardar el archivo '" + path.string() + "': " + why);
    }
  }

  TempDir dir_;
  std::string original_;
  Document document_;
};

TEST_F(DocumentSaveFailure, FileSizeLimitMidWriteLeavesOriginalAndNoTemporary) {
  // The kernel enforces this limit on root too, so the write really fails.
  struct rlimit saved_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_limit), 0);
  sighandler_t saved_signal = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = saved_limit;
  limit.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  ExpectFailure(dir_ / "exchange.xml", "El archivo es demasiado grande");
  setrlimit(RLIMIT_FSIZE, &saved_limit);
  signal(SIGXFSZ, saved_signal);

  EXPECT_EQ(ReadFile(dir_ / "exchange.xml"), original_);
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"exchange.xml"});
}

TEST_F(DocumentSaveFailure, UnwritablePlacesLeaveNothingBehind) {
  fs::create_directory(dir_ / "folder.xml");
  ExpectFailure(dir_ / "folder.xml", "Es una carpeta");
  ExpectFailure(dir_ / "missing" / "exchange.xml", "No existe el archivo o la carpeta");
  ExpectFailure(dir_ / "exchange.xml" / "x.xml", "Una parte de la ruta no es una carpeta");
  EXPECT_EQ(ReadFile(dir_ / "exchange.xml"), original_);
  EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"exchange.xml", "folder.xml"}));
  EXPECT_TRUE(fs::is_empty(dir_ / "folder.xml"));
}

TEST_F(DocumentSaveFailure, EmptyDocumentIsNeverWritten) {
  Document empty;
  EXPECT_FALSE(empty.Load((dir_ / "missing.xml").string()));
  try {
    empty.Save((dir_ / "exchange.xml").string());
    ADD_FAILURE() << "saved an empty document";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("vacío"), std::string::npos) << error.what();
  }
  EXPECT_EQ(ReadFile(dir_ / "exchange.xml"), original_);
}

// ---- Saves that succeed ----

TEST(DocumentSave, KeepsPermissionsAndFollowsSymbolicLinks) {
  TempDir dir;
  WriteFile(dir / "exchange.xml", "<document/>");
  ASSERT_EQ(chmod((dir / "exchange.xml").c_str(), 0640), 0);
  fs::create_symlink(dir / "exchange.xml", dir / "link.xml");
  Document document;
  ASSERT_TRUE(document.Load((dir / "link.xml").string()));
  document.DocumentElement().SetAttribute("id", "x");
  document.Save((dir / "link.xml").string());

  EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
  EXPECT_EQ(ReadFile(dir / "exchange.xml"), "<document id=\"x\"/>\n");
  struct stat info;
  ASSERT_EQ(stat((dir / "exchange.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"exchange.xml", "link.xml"}));
}

TEST(DocumentSave, NewFileGetsTheUsualPermissions) {
  TempDir dir;
  WriteFile(dir / "exchange.xml", "<document/>");
  Document document;
  ASSERT_TRUE(document.Load((dir / "exchange.xml").string()));
  mode_t saved_mask = umask(022);
  document.Save((dir / "copy.xml").string());
  umask(saved_mask);
  struct stat info;
  ASSERT_EQ(stat((dir / "copy.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);
}

}  // namespace
}  // namespace pontexa::exchange
