// The exchange file written back around a new section: every byte outside the
// section as it was, in every form a file can take, and nothing written when
// anything fails.
#include "exchange/exchange_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/file_copy.h"
#include "platform/file_io.h"
#include "support/error_message.h"
#include "support/temp_dir.h"

namespace pontexa::exchange {
namespace {

namespace fs = std::filesystem;
using pontexa::testing::MessageOf;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;
using ::testing::HasSubstr;

// One sample in UTF-8, with the places of the earlier sections ({old}, and
// {old2} for a second one) and of the new one ({new}) marked. The sample holds
// what a re-serialisation would change: a DOCTYPE with an indented internal
// subset, single quotes, predefined and character references, a '>' in a
// value, line breaks and tabs inside tags and values, an empty element written
// with an end tag, CDATA, comments, a processing instruction, blank lines
// around the root.
constexpr char kSample[] =
    "<?xml version='1.0' encoding='{encoding}'?>\n"
    "<!DOCTYPE document [\n"
    "    <!ENTITY escuela \"Colegio San Andr\xC3\xA9s\">\n"
    "      <!-- subconjunto interno sangrado -->\n"
    "]>\n"
    "\n"
    "<!-- exportado por GEDU -->\n"
    "<document  version='2'\n"
    "           origen = \"GEDU\" >\n"
    "  <school>&escuela;</school>{old}\n"
    "  <teachers>\n"
    "    <teacher id='T1' name=\"O&apos;Brien &amp; &lt;Hijos&gt;\" nota=\"a>b\">"
    "N&#250;&#xF1;ez Pe\xC3\xB1"
    "a</teacher>\n"
    "    <teacher\n"
    "        id=\"T2\"\tname=\"l\xC3\xADnea\n\tdos\"/>\n"
    "    <vacio></vacio>\n"
    "  </teachers>{old2}\n"
    "  <![CDATA[ <sin> & marcas ]]>\n"
    "  <?gedu version 7?>\n"
    "{new}</document>\n"
    "\n";

constexpr char kOldSection[] =
    "<time-tables><time-table id=\"viejo\" name=\"Antiguo\"><days/></time-table></time-tables>";

// The section every test writes, with non-ASCII text and a character to escape,
// in UTF-8; "€" is a character reference in an encoding that lacks it.
std::string NewSection(const std::string& euro = "\xE2\x82\xAC") {
  return "<time-tables><time-table id=\"tt1\" name=\"Mi\xC3\xA9rcoles &amp; " + euro +
         "\"/></time-tables>";
}

void WriteNewSection(SectionWriter& out) {
  out.StartElement("time-tables");
  out.StartElement("time-table");
  out.SetAttribute("id", "tt1");
  out.SetAttribute("name", "Mi\xE9rcoles & \x80");
  out.EndElement();
  out.EndElement();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

// UTF-8 to another encoding through iconv; the test's own converter.
std::string Encode(const std::string& utf8, const std::string& encoding) {
  if (encoding == "UTF-8") return utf8;
  iconv_t cd = iconv_open(encoding.c_str(), "UTF-8");
  std::string out(utf8.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  char* to = out.data();
  std::size_t to_left = out.size();
  iconv(cd, &in, &in_left, &to, &to_left);
  iconv_close(cd);
  out.resize(out.size() - to_left);
  return out;
}

struct Form {
  const char* name;
  const char* declared;  // "" leaves the XML declaration out
  const char* bytes;     // the encoding of the bytes, as iconv names it
  const char* bom;       // bytes put in front
  bool crlf;
  bool final_newline;
  const char* euro = "\xE2\x82\xAC";  // how "€" is written in the encoding
};

std::ostream& operator<<(std::ostream& out, const Form& form) { return out << form.name; }

// The sample in one form, with the given text at the marks.
std::string Render(const Form& form, const std::string& old, const std::string& old2,
                   const std::string& fresh) {
  std::string text = kSample;
  if (*form.declared == '\0') {
    text = text.substr(text.find('\n') + 1);
  } else {
    text = Replace(text, "{encoding}", form.declared);
  }
  text = Replace(Replace(Replace(text, "{old}", old), "{old2}", old2), "{new}", fresh);
  if (!form.final_newline) text.erase(text.find_last_not_of('\n') + 1);
  if (form.crlf) text = Replace(text, "\n", "\r\n");
  return form.bom + Encode(text, form.bytes);
}

// Writes `before` to a file, writes the section into it, and gives what is on disk.
class SectionWriteTest {
 protected:
  std::string WriteSectionInto(const std::string& before) {
    const fs::path path = dir_ / "intercambio.xml";
    WriteFile(path, before);
    ExchangeFile file;
    file.Load(path.string());
    const FileDigest saved = file.SaveWithSection(path.string(), WriteNewSection);
    // The digest the save gives back is that of the file it left.
    EXPECT_EQ(saved, DigestOfFile(path));
    return ReadFile(path);
  }

  TempDir dir_;
};

class RoundTrip : public ::testing::TestWithParam<Form>, protected SectionWriteTest {};

TEST_P(RoundTrip, OnlyTheSectionChanges) {
  const Form& form = GetParam();
  const std::string fresh = NewSection(form.euro);
  EXPECT_EQ(WriteSectionInto(Render(form, "", "", "")), Render(form, "", "", fresh));
  EXPECT_EQ(WriteSectionInto(Render(form, kOldSection, "", "")), Render(form, "", "", fresh));
  EXPECT_EQ(WriteSectionInto(Render(form, kOldSection, kOldSection, "")),
            Render(form, "", "", fresh));
  // A second run replaces what the first wrote.
  EXPECT_EQ(WriteSectionInto(Render(form, "", "", fresh)), Render(form, "", "", fresh));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RoundTrip,
    ::testing::Values(Form{"Utf8", "UTF-8", "UTF-8", "", false, true},
                      Form{"Utf8Crlf", "UTF-8", "UTF-8", "", true, true},
                      Form{"Utf8NoFinalNewline", "UTF-8", "UTF-8", "", false, false},
                      Form{"Utf8CrlfNoFinalNewline", "UTF-8", "UTF-8", "", true, false},
                      Form{"Utf8WithBom", "UTF-8", "UTF-8", "\xEF\xBB\xBF", false, true},
                      Form{"Utf8Undeclared", "", "UTF-8", "", false, true},
                      Form{"Latin1", "ISO-8859-1", "ISO-8859-1", "", true, true, "&#8364;"},
                      Form{"Windows1252", "windows-1252", "WINDOWS-1252", "", false, true},
                      Form{"Utf16LeBom", "UTF-16", "UTF-16LE", "\xFF\xFE", true, true},
                      Form{"Utf16BeBom", "UTF-16", "UTF-16BE", "\xFE\xFF", false, true},
                      Form{"Utf16LeNoBom", "UTF-16", "UTF-16LE", "", false, true},
                      Form{"Utf16BeNoBom", "UTF-16", "UTF-16BE", "", true, false},
                      Form{"Utf16LeBomUndeclared", "", "UTF-16LE", "\xFF\xFE", false, true},
                      Form{"Utf16BeBomUndeclared", "", "UTF-16BE", "\xFE\xFF", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

class SectionPlacement : public ::testing::Test, protected SectionWriteTest {};

TEST_F(SectionPlacement, EmptyRootGetsAnEndTag) {
  EXPECT_EQ(WriteSectionInto("<document/>"), "<document>" + NewSection() + "</document>");
  EXPECT_EQ(WriteSectionInto("<!-- a -->\r\n<g:document xmlns:g='urn:g'  />\r\n"),
            "<!-- a -->\r\n<g:document xmlns:g='urn:g'  >" + NewSection() + "</g:document>\r\n");
}

TEST_F(SectionPlacement, OnlyUnprefixedChildrenOfTheRootAreEarlierSections) {
  const std::string kept =
      "<x:time-tables xmlns:x=\"urn:x\"/><groups><time-tables/></groups>"
      "<time-tables-old/>";
  EXPECT_EQ(WriteSectionInto("<document>" + kept +
                             "<time-tables xmlns=\"urn:y\"><a/></time-tables></document>"),
            "<document>" + kept + NewSection() + "</document>");
}

// A reference to an entity whose text holds an earlier section stands for that
// section: it is replaced by the entity's text without it. The declaration in
// the DTD stays as it was.
TEST_F(SectionPlacement, EntityHoldingAnEarlierSectionIsWrittenOutWithoutIt) {
  const std::string dtd =
      "<!DOCTYPE document [<!ENTITY viejo \"<time-tables/>\">"
      "<!ENTITY mezcla \"<nota>&#233;</nota>&viejo;<time-tables><x/></time-tables>fin\">"
      "<!ENTITY otro \"<otro/>\">]>";
  EXPECT_EQ(WriteSectionInto(dtd + "<document>&viejo;<a/>&otro;&mezcla;</document>"),
            dtd + "<document><a/>&otro;<nota>\xC3\xA9</nota>fin" + NewSection() + "</document>");
}

TEST_F(SectionPlacement, CharacterTheEncodingLacksIsWrittenAsAReference) {
  EXPECT_EQ(WriteSectionInto("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><d>\xE9</d>"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><d>\xE9<time-tables><time-table "
            "id=\"tt1\" name=\"Mi\xE9rcoles &amp; &#8364;\"/></time-tables></d>");
}

// In Shift_JIS the second byte of a character can be ']' (0x5D): the scan
// decodes the file instead of reading it byte by byte, and é, which the
// encoding lacks, is written as a reference.
TEST_F(SectionPlacement, ShiftJisFileIsScannedByCharacters) {
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<document><a n=\"\x83\x5D]>\"/>"
      "<![CDATA[\x83\x5D]>\x89\x5D]]]>x";
  const std::string tail = "\x97\x5D";
  EXPECT_EQ(WriteSectionInto(head + "<time-tables/>" + tail + "</document>\n"),
            head + tail +
                "<time-tables><time-table id=\"tt1\" name=\"Mi&#233;rcoles &amp; &#8364;\"/>"
                "</time-tables></document>\n");
}

// Random documents built from pieces the scan must step over (quotes holding
// '>' and '/', comments, CDATA, processing instructions, references, nested
// elements, earlier sections at any place under the root): the written file is
// always the document without its sections and with the new one at the end.
class RandomDocument {
 public:
  explicit RandomDocument(unsigned seed) : state_(seed * 2654435761u + 1) {}

  // The document with earlier sections, and the one expected after the save.
  void Build(std::string& with, std::string& expected) {
    with = expected = "<?xml version=\"1.0\"?>" + Misc() +
                      "<!DOCTYPE r [<!ENTITY e \"&#60;i/&#62;\">]>" + Misc() + "<r" + Attributes() +
                      ">";
    const int children = Next(8);
    for (int i = 0; i < children; ++i) {
      const std::string piece = Content(0);
      with += piece;
      expected += piece;
      if (Next(3) == 0)
        with += Next(2) ? "<time-tables/>" : "<time-tables a='>'>" + Content(1) + "</time-tables>";
    }
    const std::string tail = Misc();
    with += "</r>" + tail;
    expected += NewSection() + "</r>" + tail;
  }

 private:
  int Next(int bound) {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<int>((state_ >> 16) % static_cast<unsigned>(bound));
  }
  std::string Misc() {
    const char* const pieces[] = {"", "\n", "\r\n  ", "<!-- > < ] -->", "<?p a=\"<\"?>"};
    return pieces[Next(5)];
  }
  std::string Attributes() {
    const char* const first[] = {"", " a='/>'", " b=\"'>\""};
    const char* const second[] = {"", "\n\tc = 'x\"y'", " d=\"&amp;&#62;\""};
    return std::string(first[Next(3)]) + second[Next(3)];
  }
  std::string Content(int depth) {
    switch (Next(depth > 2 ? 6 : 8)) {
      case 0:
        return "texto ]] > ";
      case 1:
        return "&e;&amp;&#233;";
      case 2:
        return "<![CDATA[<time-tables/>]]]]>";
      case 3:
        return Misc();
      case 4:
        return "<time-tables-no/>";
      case 5:
        return "<x:time-tables xmlns:x='u'/>";
      case 6:
        return "<g" + Attributes() + "/>";
      default:
        return "<g" + Attributes() + ">" + Content(depth + 1) + Content(depth + 1) + "</g >";
    }
  }
  unsigned state_;
};

TEST_F(SectionPlacement, RandomDocumentsLoseOnlyTheirSections) {
  for (unsigned seed = 0; seed < 200; ++seed) {
    std::string with, expected;
    RandomDocument(seed).Build(with, expected);
    ASSERT_EQ(WriteSectionInto(with), expected) << with;
  }
}

// ---- Failures ----

class FailedSave : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(path_, original_);
    ASSERT_NO_THROW(file_.Load(path_.string()));
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TempDir dir_;
  const fs::path path_ = dir_ / "intercambio.xml";
  const std::string original_ = "<document>\r\n  <a/>\r\n</document>\r\n";
  ExchangeFile file_;
};

// An error while the section is written, however far it got, leaves the file
// as it was and no temporary file behind.
TEST_F(FailedSave, ErrorInTheSectionLeavesTheFileAsItWas) {
  for (int elements : {0, 1, 5000}) {
    const std::string message = MessageOf([&] {
      file_.SaveWithSection(path_.string(), [elements](SectionWriter& out) {
        out.StartElement("time-tables");
        for (int i = 0; i < elements; ++i) {
          out.StartElement("input");
          out.SetAttribute("id", "input" + std::to_string(i));
          out.EndElement();
        }
        throw Error("List index out of bounds (-1)");
      });
    });
    EXPECT_EQ(message, "List index out of bounds (-1)") << elements;
    EXPECT_EQ(ReadFile(path_), original_) << elements;
    EXPECT_EQ(Entries(), std::vector<std::string>{"intercambio.xml"}) << elements;
  }
}

// A value XML cannot hold is refused with the document's own message.
TEST_F(FailedSave, ControlCharacterInAValueLeavesTheFileAsItWas) {
  const std::string message = MessageOf([&] {
    file_.SaveWithSection(path_.string(), [](SectionWriter& out) {
      out.StartElement("time-tables");
      out.SetAttribute("name", std::string("a\x01", 2));
    });
  });
  EXPECT_EQ(message,
            "El valor del atributo 'name' tiene un carácter de control que XML no admite "
            "(código 1)");
  EXPECT_EQ(ReadFile(path_), original_);
}

// When the file cannot be saved and the section fails as well, the section's
// error is the one told, as when the file could have been saved.
TEST_F(FailedSave, SectionErrorComesBeforeTheSavesOwn) {
  // A folder where the file should be: the temporary file is never made.
  const fs::path folder = dir_ / "carpeta.xml";
  fs::create_directory(folder);
  const std::string failing = MessageOf([&] {
    file_.SaveWithSection(folder.string(), [](SectionWriter&) { throw Error("Tabla en uso"); });
  });
  const std::string saving =
      MessageOf([&] { file_.SaveWithSection(folder.string(), WriteNewSection); });
  EXPECT_EQ(failing, "Tabla en uso");
  EXPECT_EQ(saving, "No se puede guardar el archivo '" + folder.string() + "': Es una carpeta");
  EXPECT_EQ(ReadFile(path_), original_);
}

TEST_F(FailedSave, ReadOnlyFileComesAfterTheSection) {
  fs::permissions(path_, fs::perms::owner_read);
  const std::string failing = MessageOf([&] {
    file_.SaveWithSection(path_.string(), [](SectionWriter&) { throw Error("Tabla en uso"); });
  });
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
  if (geteuid() != 0) EXPECT_EQ(failing, "Tabla en uso");
  EXPECT_EQ(ReadFile(path_), original_);
}

// The file written back would not load again: a file that uses an entity of
// 100,000 characters 150 times is within the entities' limit while an earlier
// section of 2 MB makes it large, and past it once that section is gone.
TEST(WrittenFileCheck, FileThatWouldNoLongerLoadIsNotReplaced) {
  TempDir dir;
  const fs::path path = dir / "intercambio.xml";
  std::string uses;
  for (int i = 0; i < 150; ++i) uses += "&e;";
  std::string old_section = "<time-tables>";
  while (old_section.size() < (std::size_t{2} << 20)) old_section += "<time-table id=\"viejo\"/>";
  old_section += "</time-tables>";
  const std::string original = "<!DOCTYPE document [<!ENTITY e \"" + std::string(100000, 'A') +
                               "\">]>\n<document><nota>" + uses + "</nota>" + old_section +
                               "</document>\n";
  WriteFile(path, original);
  ExchangeFile file;
  ASSERT_NO_THROW(file.Load(path.string()));

  const std::string message =
      MessageOf([&] { file.SaveWithSection(path.string(), WriteNewSection); });
  EXPECT_THAT(message, ::testing::StartsWith("No se puede guardar el archivo '" + path.string() +
                                             "': El archivo escrito no se podría volver a leer ("));
  EXPECT_THAT(message, HasSubstr("las entidades del archivo se expanden a demasiado texto"));
  EXPECT_THAT(message, HasSubstr("lo habría dañado"));
  EXPECT_TRUE(ReadFile(path) == original);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// ---- Encodings ----

struct EncodingCase {
  const char* name;
  bool stateful;
};

// Told by the name for the families that are known, by writing characters one
// at a time and all at once for the EBCDIC code pages that shift in and out.
TEST(StatefulEncoding, IsToldFromTheOnesThatWriteEachCharacterAlone) {
  const EncodingCase cases[] = {
      {"UTF-8", false},        {"ISO-8859-1", false}, {"ISO-8859-15", false},
      {"windows-1252", false}, {"KOI8-R", false},     {"Shift_JIS", false},
      {"EUC-JP", false},       {"Big5", false},       {"GB18030", false},
      {"UCS-4LE", false},      {"IBM037", false},     {"UTF-16", false},
      {"UTF-7", true},         {"utf7", true},        {"UTF-7-IMAP", true},
      {"ISO-2022-JP", true},   {"csISO2022JP", true}, {"ISO-2022-JP-2", true},
      {"ISO-2022-KR", true},   {"ISO-2022-CN", true}, {"HZ-GB-2312", true},
      {"IBM930", true},        {"IBM933", true},      {"IBM1390", true},
  };
  for (const EncodingCase& c : cases) {
    const FileEncoding encoding = DetectFileEncoding(
        c.name == std::string("UTF-16") ? std::string("\xFF\xFE<\0", 4) : "<?xml", c.name);
    EXPECT_EQ(IsStatefulEncoding(encoding), c.stateful) << c.name;
  }
}

TEST(StatefulEncoding, FileIsRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  const struct {
    const char* declared;
    std::string bytes;
  } files[] = {
      // All in ASCII, which UTF-7 writes as itself.
      {"UTF-7", "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<document><a/></document>\n"},
      {"ISO-2022-JP",
       Encode("<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?>\n<document><a n=\"\xE6\x97\xA5"
              "\"/><time-tables/></document>\n",
              "ISO-2022-JP")},
  };
  for (const auto& f : files) {
    const fs::path path = dir / "intercambio.xml";
    WriteFile(path, f.bytes);
    ExchangeFile file;
    try {
      file.Load(path.string());
      ADD_FAILURE() << f.declared << " was loaded";
    } catch (const CannotLoad& error) {
      ADD_FAILURE() << f.declared << " was taken as unreadable: " << error.what();
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "No se puede escribir la sección de horarios en el archivo '" + path.string() +
                    "': está en la codificación de caracteres '" + f.declared +
                    "', que cambia de modo entre unos caracteres y otros, y escribir en ella una "
                    "parte del archivo alteraría el resto. El archivo no se ha modificado; "
                    "guárdelo en UTF-8 y vuelva a intentarlo");
    }
    EXPECT_THAT(MessageOf([&] { file.SaveWithSection(path.string(), WriteNewSection); }),
                HasSubstr("no tiene elemento raíz"))
        << f.declared;
    EXPECT_TRUE(ReadFile(path) == f.bytes) << f.declared;
  }
}

// Text handed over in pieces of any size, a character split between two of
// them, gives the same bytes as the text handed over at once.
TEST(TextEncoderTest, CharacterSplitBetweenWritesIsWrittenWhole) {
  TempDir dir;
  const std::string text = "<a n=\"Mi\xC3\xA9rcoles \xE2\x82\xAC \xF0\x9D\x84\x9E \xE6\x97\xA5\"/>";
  for (const char* name : {"UTF-8", "UTF-16LE", "UTF-16BE", "ISO-8859-15", "windows-1252",
                           "GB18030", "Shift_JIS", "UCS-4LE"}) {
    const FileEncoding encoding =
        name == std::string("UTF-16LE")   ? FileEncoding{CharacterLayout::kUtf16Le, name}
        : name == std::string("UTF-16BE") ? FileEncoding{CharacterLayout::kUtf16Be, name}
                                          : DetectFileEncoding("<?xml", name);
    auto written = [&](std::size_t piece) {
      const fs::path path = dir / "texto";
      std::unique_ptr<File> file;
      EXPECT_TRUE(Env::Current().Open(path, {OpenMode::kReplace}, &file).ok());
      BlockWriter out(file.get());
      {
        TextEncoder encoder(encoding, out);
        for (std::size_t at = 0; at < text.size(); at += piece) {
          encoder.Write(std::string_view(text).substr(at, piece));
        }
        EXPECT_TRUE(encoder.Flush().ok()) << name << " " << piece;
      }
      EXPECT_TRUE(out.Finish().ok());
      EXPECT_TRUE(file->Close().ok());
      return ReadFile(path);
    };
    const std::string at_once = written(text.size());
    for (std::size_t piece : {1, 2, 3, 5}) {
      EXPECT_TRUE(written(piece) == at_once) << name << " in pieces of " << piece;
    }
  }
}

// An encoding whose converter drops what it cannot write, "&#8364;" and what
// follows it included: the save fails in Spanish (the conversion, or the
// written file that would not load), the file stays as it was, and libxml2
// prints nothing of its own.
TEST(TextEncoderTest, EncodingThatCannotBeWrittenFailsQuietly) {
  TempDir dir;
  const fs::path path = dir / "intercambio.xml";
  const std::string original =
      "<?xml version=\"1.0\" encoding=\"ISO-88591\"?>\n<document><a n=\"\xE9\"/></document>\n";
  WriteFile(path, original);
  ::testing::internal::CaptureStderr();
  std::string message;
  try {
    ExchangeFile file;
    file.Load(path.string());
    file.SaveWithSection(path.string(), WriteNewSection);
  } catch (const Error& error) {
    message = error.what();
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_THAT(message,
              ::testing::StartsWith("No se puede guardar el archivo '" + path.string() + "': "));
  EXPECT_TRUE(ReadFile(path) == original);
}

TEST(ExchangeFileLoad, RefusesAsTheDocumentDoes) {
  TempDir dir;
  WriteFile(dir / "bad.xml", "<document>\n  <a>\n    <b></a>\n</document>\n");
  ExchangeFile file;
  EXPECT_EQ(MessageOf([&] { file.Load((dir / "bad.xml").string()); }),
            "línea 3, columna 12: la etiqueta de cierre no corresponde a la de apertura");
  EXPECT_EQ(MessageOf([&] { file.Load((dir / "missing.xml").string()); }),
            "No existe el archivo o la carpeta");
  EXPECT_THROW(file.Load((dir / "missing.xml").string()), CannotLoad);
}

}  // namespace
}  // namespace pontexa::exchange
