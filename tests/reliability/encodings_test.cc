// The sample school's exchange file in every encoding it can come in, through
// both conversions and then Horaplan to GEDU twice. Each run either refuses
// the encoding and leaves the file as it was, or saves a file that loads
// again, that a second run leaves byte for byte as it is, and whose bytes
// outside the new section are those of the file it was given.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/file_io.h"
#include "reliability/in_process.h"

namespace pontexa::reliability {
namespace {

using ::testing::HasSubstr;

struct Encoding {
  const char* name;
  const char* declared;  // in the XML declaration
  const char* bytes;     // the encoding of the bytes, as iconv names it
  const char* bom;       // bytes put in front
  bool stateful;         // refused: no section can be written into it
};

std::ostream& operator<<(std::ostream& out, const Encoding& encoding) {
  return out << encoding.name;
}

// UTF-7 as a mail program writes it: ASCII as itself (but '+', '\' and '~'),
// everything else in runs of modified base64 over UTF-16, each closed by '-'.
// iconv would write '<' in base64 too, and the parser could not find the
// declaration.
std::string Utf7(const std::string& utf16be) {
  static constexpr char kBase64[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  const auto unit = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(utf16be[at]) << 8 |
                                 static_cast<unsigned char>(utf16be[at + 1]));
  };
  const auto direct = [](unsigned c) {
    return c == '\t' || c == '\n' || c == '\r' ||
           (c >= ' ' && c < 0x7F && c != '+' && c != '\\' && c != '~');
  };
  while (i < utf16be.size()) {
    if (direct(unit(i))) {
      out += static_cast<char>(unit(i));
      i += 2;
      continue;
    }
    out += '+';
    unsigned bits = 0;
    int count = 0;
    for (; i < utf16be.size() && !direct(unit(i)); i += 2) {
      bits = bits << 16 | unit(i);
      count += 16;
      while (count >= 6) {
        out += kBase64[(bits >> (count - 6)) & 0x3F];
        count -= 6;
      }
      bits &= (1u << count) - 1;
    }
    if (count > 0) out += kBase64[(bits << (6 - count)) & 0x3F];
    out += '-';
  }
  return out;
}

// Text from one encoding to another through iconv; fails the test unless every
// character converts.
std::string Convert(const std::string& text, const std::string& from, const std::string& to) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv does not know " << from << " or " << to;
    return "";
  }
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  char* at = out.data();
  std::size_t out_left = out.size();
  if (iconv(cd, &in, &in_left, &at, &out_left) == static_cast<std::size_t>(-1) || in_left != 0) {
    ADD_FAILURE() << "cannot convert from " << from << " to " << to << " (errno " << errno << ")";
  }
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

std::string Encode(const std::string& utf8, const Encoding& encoding) {
  if (std::string(encoding.bytes) == "UTF-7") return Utf7(Convert(utf8, "UTF-8", "UTF-16BE"));
  return Convert(utf8, "UTF-8", encoding.bytes);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The sample school declaring `encoding`, with `earlier` just after the root's
// start tag, in UTF-8.
std::string Sample(const Encoding& encoding, const std::string& earlier) {
  std::string text = ReadFile(fs::path(PONTEXA_EXAMPLES) / "instituto.xml");
  text = Replace(text, "encoding=\"UTF-8\"", std::string("encoding=\"") + encoding.declared + "\"");
  const std::size_t root = text.find("<document");
  const std::size_t start_tag_end = text.find('>', root) + 1;
  return text.insert(start_tag_end, earlier);
}

// An earlier section larger than the writer's blocks, with text outside ASCII.
std::string EarlierSection() {
  std::string section = "<time-tables>";
  for (int i = 0; section.size() < 3 * BlockWriter::kBlockSize; ++i) {
    section +=
        "<time-table id=\"viejo" + std::to_string(i) + "\" name=\"Horario de mañana, miércoles\"/>";
  }
  return section + "</time-tables>";
}

class SampleInEncoding : public ::testing::TestWithParam<Encoding> {
 protected:
  // Runs both conversions on `bytes` and then Horaplan to GEDU twice; `without`
  // is the file as it should be around the new section (the bytes without
  // their earlier sections).
  void Check(const std::string& bytes, const std::string& without) {
    const Encoding& encoding = GetParam();
    WriteFile(school_.exchange_file, bytes);
    ASSERT_TRUE(PrepareTablesInProcess(school_));
    const QuickEnv quick;
    const Outcome first = RunInProcess("to-gedu", school_.exchange_file, school_.tables);
    const std::string saved = ReadFile(school_.exchange_file);

    if (encoding.stateful) {
      EXPECT_EQ(first.status, 1);
      EXPECT_THAT(first.err,
                  HasSubstr(std::string("codificación de caracteres '") + encoding.declared + "'"));
      EXPECT_THAT(first.err, HasSubstr("El archivo no se ha modificado"));
      EXPECT_TRUE(saved == bytes);
      const Outcome again = RunInProcess("to-gedu", school_.exchange_file, school_.tables);
      EXPECT_EQ(again.err, first.err);
      EXPECT_TRUE(ReadFile(school_.exchange_file) == bytes);
      return;
    }

    ASSERT_EQ(first.status, 0) << first.err;
    // Every byte outside the new section, which stands just before the root's end tag.
    const std::string end_tag = Encode("</document>", encoding);
    const std::size_t root_end = without.rfind(end_tag);
    ASSERT_NE(root_end, std::string::npos);
    const std::string head = without.substr(0, root_end);
    const std::string tail = without.substr(root_end);
    ASSERT_GT(saved.size(), head.size() + tail.size());
    EXPECT_TRUE(saved.starts_with(head)) << "the bytes before the section changed";
    EXPECT_TRUE(saved.ends_with(tail)) << "the bytes after the section changed";
    const std::string section = saved.substr(head.size(), saved.size() - head.size() - tail.size());
    // Larger than a block, so the write crossed block boundaries.
    EXPECT_GT(section.size(), BlockWriter::kBlockSize);
    const std::string text = std::string(encoding.bytes) == "UTF-7"
                                 ? section
                                 : Convert(section, encoding.bytes, "UTF-8");
    EXPECT_TRUE(text.starts_with("<time-tables><time-table ")) << text.substr(0, 100);
    EXPECT_TRUE(text.ends_with("</time-tables>")) << text.substr(text.size() - 100);

    // The saved file loads as the first conversion loads it.
    const fs::path other = school_.dir / "otra";
    fs::create_directory(other);
    const Outcome loaded = RunInProcess("to-horaplan", school_.exchange_file, other);
    EXPECT_EQ(loaded.status, 0) << loaded.err;

    const Outcome second = RunInProcess("to-gedu", school_.exchange_file, school_.tables);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_TRUE(ReadFile(school_.exchange_file) == saved) << "a second run changed the file";
  }

  SampleSchool school_;
};

TEST_P(SampleInEncoding, SectionAtTheEnd) {
  const Encoding& encoding = GetParam();
  const std::string bytes = encoding.bom + Encode(Sample(encoding, ""), encoding);
  Check(bytes, bytes);
}

// An earlier section larger than the writer's blocks, followed by the whole
// rest of the file: it goes, and every byte after it stays.
TEST_P(SampleInEncoding, LargeEarlierSectionFollowedByTheRestOfTheFile) {
  const Encoding& encoding = GetParam();
  Check(encoding.bom + Encode(Sample(encoding, EarlierSection()), encoding),
        encoding.bom + Encode(Sample(encoding, ""), encoding));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, SampleInEncoding,
    ::testing::Values(Encoding{"Utf8", "UTF-8", "UTF-8", "", false},
                      Encoding{"Utf8WithBom", "UTF-8", "UTF-8", "\xEF\xBB\xBF", false},
                      Encoding{"Utf16Le", "UTF-16", "UTF-16LE", "\xFF\xFE", false},
                      Encoding{"Utf16Be", "UTF-16", "UTF-16BE", "\xFE\xFF", false},
                      Encoding{"Utf16LeWithoutBom", "UTF-16", "UTF-16LE", "", false},
                      Encoding{"Latin1", "ISO-8859-1", "ISO-8859-1", "", false},
                      Encoding{"Windows1252", "windows-1252", "WINDOWS-1252", "", false},
                      Encoding{"Latin9", "ISO-8859-15", "ISO-8859-15", "", false},
                      Encoding{"Latin5", "ISO-8859-9", "ISO-8859-9", "", false},
                      Encoding{"Cp850", "IBM850", "IBM850", "", false},
                      Encoding{"MacRoman", "macintosh", "MACINTOSH", "", false},
                      Encoding{"Gb18030", "GB18030", "GB18030", "", false},
                      Encoding{"EucJp", "EUC-JP", "EUC-JP", "", false},
                      Encoding{"Ebcdic037", "IBM037", "IBM037", "", false},
                      Encoding{"Utf7", "UTF-7", "UTF-7", "", true},
                      Encoding{"Iso2022Jp2", "ISO-2022-JP-2", "ISO-2022-JP-2", "", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pontexa::reliability
