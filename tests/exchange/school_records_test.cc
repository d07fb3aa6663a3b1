// Reading the exchange file in one pass: what the builds get from it, the
// refusals, every encoding and hostile files.
#include "exchange/school_records.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "exchange/exchange_file.h"
#include "exchange/section_writer.h"
#include "support/temp_dir.h"

namespace pontexa::exchange {
namespace {

namespace fs = std::filesystem;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

const fs::path kData = fs::path(PONTEXA_TEST_DATA) / "exchange";

class SchoolRecordsTest : public ::testing::Test {
 protected:
  SchoolRecords Read(const std::string& xml) {
    WriteFile(dir_ / "exchange.xml", xml);
    SchoolRecords records;
    EXPECT_NO_THROW(records = ReadSchoolRecords((dir_ / "exchange.xml").string())) << xml;
    return records;
  }
  // Why the file is refused, or "(loaded)".
  std::string Refusal(const std::string& file) {
    try {
      ReadSchoolRecords((dir_ / file).string());
    } catch (const CannotLoad& failure) {
      return failure.what();
    }
    return "(loaded)";
  }
  std::vector<std::string> TeacherNames(const std::string& body) {
    const SchoolRecords records = Read("<document><teachers>" + body + "</teachers></document>");
    std::vector<std::string> names;
    for (const NamedRecord& teacher : records.teachers) {
      names.emplace_back(records.View(teacher.name));
    }
    return names;
  }

  TempDir dir_;
};

// The ids of the assignments of every group, "group:subject/teacher,count".
std::vector<std::string> Assignments(const SchoolRecords& records) {
  std::vector<std::string> out;
  for (const GroupRecord& group : records.groups) {
    for (std::size_t a = 0; a < group.assignment_count; ++a) {
      const AssignedSubject& assigned = records.assignments[group.first_assignment + a];
      const std::string teacher =
          assigned.teacher_count > 0 ? std::string(records.View(records.ids[assigned.last_teacher]))
                                     : "-";
      out.push_back(std::string(records.View(group.id)) + ":" +
                    std::string(records.View(records.ids[assigned.subject])) + "/" + teacher + "," +
                    std::to_string(assigned.teacher_count));
    }
  }
  return out;
}

TEST_F(SchoolRecordsTest, RepeatedAndNestedSectionsAreReadInDocumentOrder) {
  const SchoolRecords records = Read(
      "<?xml version=\"1.0\"?>\n"
      "<document>\n"
      "  <groups>\n"
      "    <group id=\"g1\" name=\"1 ESO A\">\n"
      "      <assigned-subjects>\n"
      "        <assigned-subject id=\"s1\">\n"
      "          <assigned-teachers><assigned-teacher id=\"t1\"/></assigned-teachers>\n"
      "          <assigned-teachers><assigned-teacher id=\"t2\"/></assigned-teachers>\n"
      "        </assigned-subject>\n"
      "        <assigned-subject id=\" s2 \"/>\n"
      "      </assigned-subjects>\n"
      "      <assigned-subjects><assigned-subject id=\"s1\"/></assigned-subjects>\n"
      "      <other><assigned-subjects><assigned-subject id=\"x\"/></assigned-subjects></other>\n"
      "    </group>\n"
      "    <group id=\"g2\"/>\n"
      "  </groups>\n"
      "  <subjects><subject id=\"s1\" name=\"Lengua\"/></subjects>\n"
      "  <groups><group id=\"g3\"><group id=\"inner\"/></group></groups>\n"
      "  <other><groups><group id=\"hidden\"/></groups></other>\n"
      "  <subjects><subject id=\"s2\" name=\"Arte\" hours=\"2\" extra=\"x\"/></subjects>\n"
      "</document>\n");
  ASSERT_EQ(records.groups.size(), 3u);
  EXPECT_EQ(records.View(records.groups[0].name), "1 ESO A");
  EXPECT_EQ(records.View(records.groups[2].id), "g3");
  EXPECT_EQ(Assignments(records),
            (std::vector<std::string>{"g1:s1/t2,2", "g1:s2/-,0", "g1:s1/-,0"}));
  ASSERT_EQ(records.subjects.size(), 2u);
  EXPECT_EQ(records.View(records.subjects[0].name), "Lengua");
  EXPECT_FALSE(records.subjects[0].reads_hours);
  EXPECT_TRUE(records.subjects[1].reads_hours);
  EXPECT_EQ(records.View(records.subjects[1].hours), "2");
}

TEST_F(SchoolRecordsTest, OnlyUnprefixedNamesUnderTheDocumentRootCount) {
  EXPECT_TRUE(Read("<other><groups><group id=\"g\"/></groups></other>").groups.empty());
  EXPECT_TRUE(Read("<Document><groups><group id=\"g\"/></groups></Document>").groups.empty());
  const SchoolRecords records = Read(
      "<document xmlns:g=\"urn:gedu\" xmlns=\"urn:default\">"
      "<g:teachers><teacher id=\"a\"/></g:teachers><teachers><teacher id=\"b\"/>"
      "<g:teacher id=\"c\"/></teachers><p:teachers><teacher id=\"d\"/></p:teachers>"
      "</document>");
  ASSERT_EQ(records.teachers.size(), 1u);
  EXPECT_EQ(records.View(records.teachers[0].id), "b");
}

TEST_F(SchoolRecordsTest, AttributesAreFoundByExactNameAndTrimmed) {
  struct Case {
    const char* subject;  // written inside <subjects>
    const char* id;
    const char* name;
    bool reads_hours;
    const char* hours;
  };
  const Case cases[] = {
      {"<subject name=\"Lengua\" id=\"s1\"/>", "s1", "Lengua", false, ""},
      {"<subject ID=\"s1\" Name=\"x\" hours=\"3\"/>", "", "", true, "3"},
      {"<subject id=\" x&#9;\" name=\"&#9;&#13;&#10;x y&#32;\"/>", "x", "x y", false, ""},
      {"<subject id=\"a&#10;b\" name=\"&#160;x&#160;\"/>", "a\nb", "\xC2\xA0x\xC2\xA0", false, ""},
      {"<subject id=\"1\" name=\"Mar&#237;a &amp; Jos&#233;\" p:hours=\"2\" xmlns:p=\"urn:p\"/>",
       "1",
       "Mar\xC3\xAD"
       "a & Jos\xC3\xA9",
       true, ""},
      {"<subject id=\"1\" name=\"n\" q:hours=\"2\" x=\"\"/>", "1", "n", true, ""},
  };
  for (const Case& c : cases) {
    const SchoolRecords records =
        Read(std::string("<document><subjects>") + c.subject + "</subjects></document>");
    ASSERT_EQ(records.subjects.size(), 1u) << c.subject;
    EXPECT_EQ(records.View(records.subjects[0].id), c.id) << c.subject;
    EXPECT_EQ(records.View(records.subjects[0].name), c.name) << c.subject;
    EXPECT_EQ(records.subjects[0].reads_hours, c.reads_hours) << c.subject;
    EXPECT_EQ(records.View(records.subjects[0].hours), c.hours) << c.subject;
  }
}

TEST_F(SchoolRecordsTest, AttributesTheDtdAddsAreNotCounted) {
  const SchoolRecords records = Read(
      "<!DOCTYPE document [<!ATTLIST subject hours CDATA \"7\" extra CDATA \"x\">]>"
      "<document><subjects><subject id=\"s\" name=\"n\"/></subjects></document>");
  ASSERT_EQ(records.subjects.size(), 1u);
  EXPECT_FALSE(records.subjects[0].reads_hours);
  EXPECT_EQ(records.View(records.subjects[0].hours), "");
}

TEST_F(SchoolRecordsTest, TheNameIsTheTextOfTheFirstChildOfAnyKind) {
  struct Case {
    const char* teacher;  // the content of <teacher>
    const char* name;
  };
  const Case cases[] = {
      {"Pilar Ruiz", "Pilar Ruiz"},
      {"\n    <name>Pilar Ruiz</name>\n  ", "Pilar Ruiz"},
      {"\n  Ana\n  L&#243;pez\n", "Ana\n  L\xC3\xB3pez"},
      {"<n> <a>A</a> <b>B</b>\n<!-- c --> C <?p x?></n>tail", "AB C"},
      {"<n>Ana <i>Mar&#237;a</i><![CDATA[ L]]>&#243;pez<!-- no --><?pi no?></n>",
       "Ana Mar\xC3\xAD"
       "a L\xC3\xB3pez"},
      {"  <!--Comentario-->Ana", "Comentario"},
      {"<?nombre Ana Pi?>", "Ana Pi"},
      {"  <![CDATA[ <b> ]]><![CDATA[x]]>y", "<b> x"},
      {"<![CDATA[  ]]>Ana", ""},
      {"Ana<b>Gil</b>", "Ana"},
      {"  \n\t ", ""},
      {"", ""},
      {"Zo&#235; &amp; &#8364;", "Zo\xC3\xAB & \xE2\x82\xAC"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TeacherNames(std::string("<teacher id=\"t\">") + c.teacher + "</teacher>"),
              std::vector<std::string>{c.name})
        << c.teacher;
  }
}

TEST_F(SchoolRecordsTest, DeclaredEntitiesReadAsTheirText) {
  const SchoolRecords records = Read(
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE document [\n"
      "<!ENTITY centro \"IES &amp; &quot;Sur&quot;\">\n"
      "<!ENTITY nombre \"&centro; de Cuenca\">\n"
      "<!ENTITY ciudad \"Cuenca &amp; &#233;\">\n"
      "<!ENTITY solo \"&ciudad; (Espa&#241;a)\">\n"
      "<!ENTITY marcado \"<b>Luis</b> <i>Paz</i>\">\n"
      "]>\n"
      "<document><groups><group id=\"&nombre;\" name=\" &solo;\"/></groups><teachers>"
      "<teacher id=\"1\">&nombre;</teacher><teacher id=\"2\">&marcado;</teacher>"
      "<teacher id=\"3\">pre &nombre;</teacher><teacher id=\"4\"><n>&centro;!</n></teacher>"
      "</teachers></document>\n");
  ASSERT_EQ(records.groups.size(), 1u);
  EXPECT_EQ(records.View(records.groups[0].id), "IES & \"Sur\" de Cuenca");
  EXPECT_EQ(records.View(records.groups[0].name),
            "Cuenca & \xC3\xA9 (Espa\xC3\xB1"
            "a)");
  ASSERT_EQ(records.teachers.size(), 4u);
  EXPECT_EQ(records.View(records.teachers[0].name), "IES & \"Sur\" de Cuenca");
  EXPECT_EQ(records.View(records.teachers[1].name),
            "LuisPaz");  // the blank between elements counts for nothing
  EXPECT_EQ(records.View(records.teachers[2].name), "pre");
  EXPECT_EQ(records.View(records.teachers[3].name), "IES & \"Sur\"!");
}

TEST_F(SchoolRecordsTest, ElementsAnEntityBringsInAreNotRead) {
  const SchoolRecords records = Read(
      "<!DOCTYPE document [<!ENTITY g \"<group id='x'/>\">]>"
      "<document><groups>&g;<group id=\"y\"/></groups></document>");
  ASSERT_EQ(records.groups.size(), 1u);
  EXPECT_EQ(records.View(records.groups[0].id), "y");
}

TEST_F(SchoolRecordsTest, AssignmentIdsAreKeptOnce) {
  const SchoolRecords records = Read(
      "<document><groups><group id=\"g\"><assigned-subjects>"
      "<assigned-subject id=\"s\"><assigned-teachers><assigned-teacher id=\"t\"/>"
      "</assigned-teachers></assigned-subject>"
      "<assigned-subject id=\"s\"><assigned-teachers><assigned-teacher id=\"s\"/>"
      "</assigned-teachers></assigned-subject>"
      "</assigned-subjects></group></groups></document>");
  ASSERT_EQ(records.ids.size(), 2u);
  EXPECT_EQ(records.View(records.ids[0]), "s");
  EXPECT_EQ(records.View(records.ids[1]), "t");
  EXPECT_EQ(Assignments(records), (std::vector<std::string>{"g:s/t,1", "g:s/s,1"}));
}

// ---- Refusals ----

TEST_F(SchoolRecordsTest, FailuresSayWhyInSpanish) {
  WriteFile(dir_ / "empty.xml", "");
  WriteFile(dir_ / "bad.xml", "<document>\n  <a>\n    <b></a>\n</document>\n");
  WriteFile(dir_ / "two-roots.xml", "<document/>\n<document/>");
  WriteFile(dir_ / "encoding.xml", "<?xml version=\"1.0\" encoding=\"x-no-such\"?><document/>");
  WriteFile(dir_ / "late.xml", "<document>" + std::string(200000, ' ') + "\n<a></b></document>");
  fs::create_directory(dir_ / "folder.xml");
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
      {"late.xml", "línea 2, columna 8: la etiqueta de cierre no corresponde a la de apertura"},
  };
  for (const Case& c : cases) {
    const std::string reason = Refusal(c.file);
    EXPECT_NE(reason.find(c.reason), std::string::npos) << c.file << ": " << reason;
  }
}

// ---- Encodings ----

class SchoolRecordsEncoding : public ::testing::TestWithParam<const char*> {};

TEST_P(SchoolRecordsEncoding, TextReadsTheSameInEveryEncoding) {
  const SchoolRecords records =
      ReadSchoolRecords((kData / (std::string("round-trip-") + GetParam() + ".xml")).string());
  ASSERT_GE(records.teachers.size(), 2u);
  EXPECT_EQ(records.View(records.teachers[0].name),
            "N\xC3\xBA\xC3\xB1"
            "ez Pe\xC3\xB1"
            "a, Jos\xC3\xA9");
  EXPECT_EQ(records.View(records.teachers[1].name), "O'Brien & <Hijos>");
}

INSTANTIATE_TEST_SUITE_P(Encodings, SchoolRecordsEncoding,
                         ::testing::Values("UTF-8", "UTF-16", "ISO-8859-1", "ISO-8859-15",
                                           "windows-1252"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return name;
                         });

// ---- Hostile files ----

TEST_F(SchoolRecordsTest, NestedEntityBombIsRefused) {
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE document [\n<!ENTITY l0 \"lol\">\n";
  for (int level = 1; level <= 12; ++level) {
    xml += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) xml += "&l" + std::to_string(level - 1) + ";";
    xml += "\">\n";
  }
  WriteFile(dir_ / "bomb.xml", xml + "]>\n<document a=\"&l12;\">&l12;</document>\n");
  WriteFile(dir_ / "bomb-attribute.xml", xml + "]>\n<document a=\"&l12;\"/>\n");
  for (const char* file : {"bomb.xml", "bomb-attribute.xml"}) {
    const std::string reason = Refusal(file);
    EXPECT_NE(reason.find("entidades"), std::string::npos) << file << ": " << reason;
  }
}

TEST_F(SchoolRecordsTest, ExternalEntitiesAndDtdsAreNeverRead) {
  WriteFile(dir_ / "secret.txt", "SECRETO-123");
  WriteFile(dir_ / "secret.dtd", "<!ENTITY filtro \"SECRETO-123\">");
  const std::string secret_url = "file://" + (dir_ / "secret.txt").string();
  const std::string dtd_url = "file://" + (dir_ / "secret.dtd").string();
  const std::vector<std::string> files = {
      "<!DOCTYPE document [<!ENTITY xxe SYSTEM \"" + secret_url +
          "\">]>\n<document><teachers><teacher id=\"t\">&xxe;</teacher></teachers></document>\n",
      "<!DOCTYPE document [<!ENTITY % p SYSTEM \"" + dtd_url +
          "\"> %p;]>\n<document><teachers><teacher id=\"t\">&filtro;</teacher></teachers>"
          "</document>\n",
      "<!DOCTYPE document SYSTEM \"" + dtd_url +
          "\">\n<document><teachers><teacher id=\"t\">&filtro;</teacher></teachers></document>\n",
  };
  for (const std::string& xml : files) {
    WriteFile(dir_ / "x.xml", xml);
    const std::string reason = Refusal("x.xml");
    if (reason == "(loaded)") {
      const SchoolRecords records = ReadSchoolRecords((dir_ / "x.xml").string());
      ASSERT_EQ(records.teachers.size(), 1u) << xml;
      EXPECT_EQ(records.View(records.teachers[0].name), "") << xml;
    }
    EXPECT_EQ(reason.find("SECRETO"), std::string::npos) << xml;
  }
  // The general entity stays a reference when the file is written back.
  WriteFile(dir_ / "x.xml", files[0]);
  ExchangeFile file;
  file.Load((dir_ / "x.xml").string());
  file.SaveWithSection((dir_ / "x.xml").string(), [](SectionWriter& out) {
    out.StartElement("time-tables");
    out.EndElement();
  });
  const std::string saved = ReadFile(dir_ / "x.xml");
  EXPECT_NE(saved.find("<teacher id=\"t\">&xxe;</teacher>"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("SECRETO"), std::string::npos) << saved;
}

TEST_F(SchoolRecordsTest, ExcessiveNestingIsRefused) {
  std::string xml;
  for (int i = 0; i < 5000; ++i) xml += "<a>";
  WriteFile(dir_ / "deep.xml", xml);
  const std::string reason = Refusal("deep.xml");
  EXPECT_NE(reason.find("profundidad"), std::string::npos) << reason;
}

}  // namespace
}  // namespace pontexa::exchange
