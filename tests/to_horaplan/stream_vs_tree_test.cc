// The six builds over one streaming pass against the same builds over the
// loaded tree: for every fuzz input, fixture and generated school, the same
// refusal, or the same tables byte for byte and the same findings.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "exchange/document.h"
#include "exchange/school_records.h"
#include "platform/error.h"
#include "platform/findings.h"
#include "support/temp_dir.h"
#include "tables/table_store.h"
#include "to_horaplan/table_builds.h"

namespace pontexa::to_horaplan {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What one path made of a file: why it refused it, or every table file's
// bytes and the findings, one line each.
struct Outcome {
  std::string refusal;
  std::vector<std::string> files;
  std::vector<std::string> findings;
};

template <typename Source>
void BuildAll(const Source& source, const tables::TableStore& store, Findings& findings) {
  BuildSubjectTable(source, store, &findings);
  BuildTeacherTable(source, store, &findings);
  BuildRoomTable(source, store, &findings);
  BuildGroupTable(source, store, &findings);
  BuildAssignmentTable(source, store, &findings);
  CreateDayHourTable(store, &findings);
}

Outcome Collect(const fs::path& folder, const Findings& findings, std::string refusal) {
  Outcome outcome;
  outcome.refusal = std::move(refusal);
  std::vector<fs::path> paths;
  for (const auto& entry : fs::directory_iterator(folder)) paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  for (const fs::path& path : paths) {
    outcome.files.push_back(path.filename().string() + ":" + Bytes(path));
  }
  for (const Finding& f : findings.all()) {
    outcome.findings.push_back(std::string(f.kind) + "|" + f.table + "|" + f.field + "|" +
                               f.element + "|" + f.id + "|" + f.detail);
  }
  for (const auto& [table, rows] : findings.rows()) {
    outcome.findings.push_back(table + "=" + std::to_string(rows));
  }
  return outcome;
}

Outcome ByTree(const fs::path& file, const fs::path& folder) {
  fs::create_directories(folder);
  const tables::TableStore store(folder, RegionalSettings{','});
  Findings findings;
  std::string refusal;
  try {
    exchange::Document document;
    document.Load(file.string());
    BuildAll(document, store, findings);
  } catch (const Error& error) {
    refusal = error.what();
  }
  return Collect(folder, findings, refusal);
}

Outcome ByStream(const fs::path& file, const fs::path& folder) {
  fs::create_directories(folder);
  const tables::TableStore store(folder, RegionalSettings{','});
  Findings findings;
  std::string refusal;
  try {
    const exchange::SchoolRecords school = exchange::ReadSchoolRecords(file.string());
    BuildAll(school, store, findings);
  } catch (const Error& error) {
    refusal = error.what();
  }
  return Collect(folder, findings, refusal);
}

// A school written the many ways the format allows: sections repeated and
// nested in others, white space, comments, CDATA, processing instructions,
// entities in text and attributes, prefixes, defaults from the DTD, texts the
// code page lacks, ids missing, repeated or unknown.
class SchoolWriter {
 public:
  // `sections` from 1 up: how many sections at most; a few hundred make a
  // file of many parser blocks.
  SchoolWriter(unsigned seed, int sections) : random_(seed), sections_(sections) {}

  std::string Write() {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (Chance(50)) {
      out +=
          "<!DOCTYPE document [\n"
          "  <!ENTITY nombre \"Ana &#241;u Gil\">\n"
          "  <!ENTITY blanco \"  \">\n"
          "  <!ENTITY marcado \"<b>Luis</b> <i>Paz</i>\">\n"
          "  <!ENTITY anidado \"x&nombre;y\">\n"
          "  <!ENTITY cdata \"<![CDATA[ C;D ]]>\">\n"
          "  <!ATTLIST subject hours CDATA \"7\">\n"
          "  <!ATTLIST teacher id CDATA \"TDEF\">\n"
          "]>\n";
      entities_ = true;
    }
    out += Pick({"<document>", "<document xmlns=\"urn:gedu\">", "<document xmlns:p=\"urn:p\">"});
    out += Space();
    const int sections = 1 + Below(sections_);
    for (int s = 0; s < sections; ++s) {
      switch (Below(5)) {
        case 0:
          out += Section("subjects", [&] { return Subject(); });
          break;
        case 1:
          out += Section("teachers", [&] { return Named("teacher", "T"); });
          break;
        case 2:
          out += Section("locations", [&] { return Named("location", "L"); });
          break;
        case 3:
          out += Section("groups", [&] { return Group(); });
          break;
        default:
          out += Pick({"<other><subjects><subject id=\"X\" name=\"Oculta\"/></subjects></other>",
                       "<!-- nada -->", "<?pi dato?>", "<p:subjects/>"});
          break;
      }
      out += Space();
    }
    out += "</document>\n";
    return out;
  }

 private:
  int Below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::string Pick(std::initializer_list<const char*> options) {
    return *(options.begin() + Below(static_cast<int>(options.size())));
  }
  std::string Space() { return Pick({"", "\n  ", " ", "\t\r\n"}); }

  std::string Id(const char* prefix) {
    switch (Below(10)) {
      case 0:
        return "";
      case 1:
        return std::string(" ") + prefix + std::to_string(Below(3)) + " ";
      default:
        return prefix + std::to_string(Below(12));
    }
  }

  std::string Text() {
    std::vector<std::string> options = {"Matemáticas", "Lengua castellana", "Ana Gil",
                                        "Łukasz Nowak", "Aula 1", "1 ESO A", "2 BACH C",
                                        "Física &amp; Química", "Zoë &#8364; ñ", "",
                                        std::string(50, 'N'), "  José  Peña ", "a\tb"};
    if (entities_) {
      options.insert(options.end(), {"&nombre;", "&blanco;", "pre &anidado; post"});
    }
    return options[static_cast<std::size_t>(Below(static_cast<int>(options.size())))];
  }

  std::string Attribute(const char* name, const std::string& value) {
    if (Chance(8)) return "";
    const std::string prefix = Chance(5) ? Pick({"p:", "q:"}) : "";
    return " " + prefix + name + "=\"" + value + "\"";
  }

  template <typename Item>
  std::string Section(const char* name, Item item) {
    std::string out;
    const bool prefixed = Chance(5);
    out += std::string("<") + (prefixed ? "p:" : "") + name + ">" + Space();
    const int count = Below(6);
    for (int i = 0; i < count; ++i) out += item() + Space();
    if (Chance(10)) out += "<!-- c -->";
    out += std::string("</") + (prefixed ? "p:" : "") + name + ">";
    return out;
  }

  std::string Subject() {
    std::string out = "<subject" + Attribute("id", Id("S")) + Attribute("name", Text());
    if (Chance(60)) out += Attribute("hours", Pick({"3", " 2.5 ", "x", "", "4,5", "12345678901"}));
    if (Chance(20)) out += Attribute("extra", "1");
    return out + "/>";
  }

  std::string Named(const char* element, const char* prefix) {
    std::string out = std::string("<") + element + Attribute("id", Id(prefix)) + ">";
    switch (Below(12)) {
      case 0:
        out += "<n>" + Text() + "</n>";
        break;
      case 1:
        out += "<!--" + Pick({"Comentario", " ", ""}) + "-->" + Text();
        break;
      case 2:
        out += "<![CDATA[" + Pick({" C&D ", "  ", "x]"}) + "]]><![CDATA[y]]>" + Text();
        break;
      case 3:
        out += "<?nombre Ana Pi?>";
        break;
      case 4:
        out += Space() + "<n> <a>A</a> <b>B" + Text() + "</b>\n<!-- c --> C </n>tail";
        break;
      case 5:
        out += entities_ ? Pick({"&marcado;", "&blanco;x", " &anidado;", "&cdata;"}) : Text();
        break;
      case 6:
        out += "\n   ";
        break;
      case 7:
        out += Space() + "<p:n xmlns:p=\"urn:p\">" + Text() + "</p:n>";
        break;
      default:
        out += Space() + Text();
        break;
    }
    return out + std::string("</") + element + ">";
  }

  std::string Group() {
    std::string out = "<group" + Attribute("id", Id("G")) + Attribute("name", Text()) + ">";
    const int sections = Below(3);
    for (int s = 0; s < sections; ++s) {
      out += Space() + "<assigned-subjects>";
      const int count = Below(5);
      for (int i = 0; i < count; ++i) {
        out += "<assigned-subject" + Attribute("id", Id("S")) + ">";
        const int lists = Below(3);
        for (int l = 0; l < lists; ++l) {
          out += "<assigned-teachers>";
          const int teachers = Below(4);
          for (int t = 0; t < teachers; ++t) {
            out += "<assigned-teacher" + Attribute("id", Id("T")) + "/>";
          }
          out += "</assigned-teachers>";
        }
        out += "</assigned-subject>" + Space();
      }
      out += "</assigned-subjects>";
    }
    if (Chance(10)) out += "<assigned-subject id=\"S1\"/>";  // not in a list: not read
    return out + "</group>";
  }

  std::mt19937 random_;
  int sections_;
  bool entities_ = false;
};

TEST(StreamAgainstTree, SameTablesFindingsAndRefusals) {
  TempDir dir;
  std::vector<fs::path> inputs;
  const fs::path source(PONTEXA_SOURCE_DIR);
  for (const fs::path& folder :
       {source / "fuzz" / "corpus" / "exchange", source / "tests" / "data" / "exchange"}) {
    for (const auto& entry : fs::directory_iterator(folder)) inputs.push_back(entry.path());
  }
  inputs.push_back(source / "examples" / "instituto.xml");
  for (unsigned seed = 1; seed <= 400; ++seed) {
    const fs::path path = dir / ("school" + std::to_string(seed) + ".xml");
    std::ofstream(path, std::ios::binary) << SchoolWriter(seed, seed % 10 == 0 ? 400 : 6).Write();
    inputs.push_back(path);
  }
  // Large schools damaged somewhere: cut short, or a stray "<", "&" or byte
  // that is not UTF-8, so that errors come from deep in the file.
  std::mt19937 damage(7);
  for (unsigned seed = 1; seed <= 60; ++seed) {
    std::string bytes = SchoolWriter(1000 + seed, 400).Write();
    const std::size_t at = damage() % bytes.size();
    switch (seed % 4) {
      case 0:
        bytes.resize(at);
        break;
      case 1:
        bytes.insert(at, "<");
        break;
      case 2:
        bytes.insert(at, "&");
        break;
      default:
        bytes.insert(at, "\xFF");
        break;
    }
    const fs::path path = dir / ("damaged" + std::to_string(seed) + ".xml");
    std::ofstream(path, std::ios::binary) << bytes;
    inputs.push_back(path);
  }
  // Entities that stand for far more text than the file holds, and a large
  // school in UTF-16.
  {
    std::string many = "<?xml version=\"1.0\"?>\n<!DOCTYPE document [<!ENTITY e \"" +
                       std::string(1000, 'x') + "\">]>\n<document><teachers>";
    for (int i = 0; i < 20000; ++i) many += "<teacher id=\"T\">&e;</teacher>";
    many += "</teachers></document>\n";
    std::ofstream(dir / "entities.xml", std::ios::binary) << many;
    inputs.push_back(dir / "entities.xml");
    const std::string utf8 = SchoolWriter(77, 400).Write();
    std::string utf16 = "\xFF\xFE";
    for (char c : utf8.substr(utf8.find('\n') + 1)) {
      // Outside ASCII, each byte of the generator's texts becomes "?".
      utf16 += (c & 0x80) != 0 ? '?' : c;
      utf16 += '\0';
    }
    std::ofstream(dir / "utf16.xml", std::ios::binary) << utf16;
    inputs.push_back(dir / "utf16.xml");
  }
  std::size_t compared = 0;
  std::size_t refused = 0;
  for (const fs::path& input : inputs) {
    const fs::path work = dir / ("run" + std::to_string(compared));
    const Outcome tree = ByTree(input, work / "tree");
    const Outcome stream = ByStream(input, work / "stream");
    EXPECT_EQ(tree.refusal, stream.refusal) << input;
    EXPECT_EQ(tree.files, stream.files) << input;
    EXPECT_EQ(tree.findings, stream.findings) << input;
    if (!tree.refusal.empty()) ++refused;
    fs::remove_all(work);
    ++compared;
  }
  std::cout << "compared " << compared << " inputs, " << refused << " refused by both\n";
}

}  // namespace
}  // namespace pontexa::to_horaplan
