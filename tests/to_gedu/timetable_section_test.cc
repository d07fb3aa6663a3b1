#include "to_gedu/timetable_section.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "timetable_fixture.h"

namespace pontexa::to_gedu::testing {
namespace {

using ::testing::HasSubstr;

TEST_F(TimetableTest, DaysComeByNumberAndIntervalsByHourKeepingDuplicates) {
  DiasHoras({{"1", "Lunes", "2", "9:00", "9:55"},
             {"1", "Lunes", "1", "8:00", "8:55"},
             {"3", "Miercoles", "1", "08:00", "08:55"},
             {"1", "Lunes", "1", "8:00", "8:55"},
             {"8", "Domingo", "1", "8:00", "8:55"}});
  EXPECT_EQ(List("days"),
            "<days>"
            "<day id=\"1\" name=\"Lunes\">"
            "<interval id=\"i1\" begin=\"8:00\" end=\"08:55\"/>"
            "<interval id=\"i1\" begin=\"8:00\" end=\"08:55\"/>"
            "<interval id=\"i2\" begin=\"9:00\" end=\"09:55\"/>"
            "</day>"
            "<day id=\"3\" name=\"Miercoles\">"
            "<interval id=\"i1\" begin=\"08:00\" end=\"08:55\"/>"
            "</day>"
            "</days>");
}

TEST_F(TimetableTest, DayAndHourNumbersMustBePlainDecimalText) {
  DiasHoras({{"1", "Lunes", "0", "8:00", "8:55"},
             {"1", "LUNES", "41", "8:00", "8:55"},
             {"01", "Lunes", "1", "8:00", "8:55"},
             {"2", "Martes", "01", "8:00", "8:55"},
             {"2", "Martes", "40", "", ""},
             {"2", "MARTES", "3", " 9:00", "10:45"}});
  EXPECT_EQ(List("days"),
            "<days>"
            "<day id=\"1\" name=\"Lunes\"/>"
            "<day id=\"2\" name=\"Martes\">"
            "<interval id=\"i3\" begin=\" 9:00\" end=\"10:45\"/>"
            "<interval id=\"i40\" begin=\"\" end=\"\"/>"
            "</day>"
            "</days>");
}

TEST_F(TimetableTest, EmptyTablesGiveEmptyLists) {
  EXPECT_EQ(Section(),
            "<time-tables><time-table id=\"tt1\" name=\"Horaplan\">"
            "<days/><groups/><members/><activities/><inputs/>"
            "</time-table></time-tables>");
}

TEST_F(TimetableTest, UsedGroupsAndMembersFollowTheCatalogueOrderWithExactCodes) {
  Grupos({{"1A", "G1"}, {"1B", "G2"}, {"2A", "G3"}, {"3A", ""}});
  Profesores({{"JGM", "T7"}, {"ALR", "T8"}, {"JGM", "T9"}});
  Asignaturas({{"MAT", "Matematicas", "S10"}});
  // "1b" does not use 1B; 3A is used only by a lesson that is not placed.
  Soluc({{"1", "1", "1", "MAT", "2A", "JGM", ""},
         {"2", "1", "1", "MAT", "1A", "JGM", ""},
         {"3", "1", "1", "MAT", "2A", "jgm", ""},
         {"4", "1", "1", "MAT", "1b", "JGM", ""},
         {"0", "1", "1", "MAT", "3A", "JGM", ""}});
  const std::string section = Section();
  EXPECT_THAT(section, HasSubstr("<groups><group id=\"G1\"/><group id=\"G3\"/>"
                                 "<group id=\"\"/></groups>"));
  EXPECT_THAT(section, HasSubstr("<members><member id=\"T7\"/><member id=\"T9\"/></members>"));
  // A lesson takes the first of two rows with its code.
  EXPECT_THAT(section, HasSubstr("<members><member id=\"T7\"/></members>"));
  EXPECT_THAT(section, ::testing::Not(HasSubstr("<members><member id=\"T9\"/></members>")));
}

TEST_F(TimetableTest, ActivitiesAreNumberedInCatalogueOrder) {
  Asignaturas({{"MAT", "Matematicas", "S10"}, {"LEN", "Lengua", "S11"}, {"FIS", "Fisica", "S12"}});
  Soluc({{"1", "1", "1", "FIS", "", "", ""}, {"1", "2", "1", "MAT", "", "", ""}});
  EXPECT_EQ(List("activities"),
            "<activities>"
            "<activity id=\"a1\" name=\"Matematicas\" subject=\"S10\"/>"
            "<activity id=\"a2\" name=\"Fisica\" subject=\"S12\"/>"
            "</activities>");
}

// The catalogues and lessons of the placement examples.
class InputListTest : public TimetableTest {
 protected:
  explicit InputListTest(char decimal_separator = ',') : TimetableTest(decimal_separator) {
    Grupos({{"1A", "G1"}, {"2A", "G3"}});
    Profesores({{"JGM", "T7"}, {"ALR", ""}});
    Aulas({{"A1", "R1"}});
    Asignaturas({{"MAT", "Matematicas", "S10"}, {"FIS", "Fisica", "S12"}});
  }
};

TEST_F(InputListTest, PlacedLessonsBecomeNumberedInputs) {
  Soluc({{"1", "2", "1", "FIS", "1A", "JGM", "A1"},
         {"0", "3", "1", "MAT", "2A", "JGM", "A1"},
         {"2", "3", "0.5", "MAT", "3C", "ALR", ""}});
  EXPECT_EQ(List("inputs"),
            "<inputs>"
            "<input id=\"input1\" day=\"1\" interval=\"i2\" activity=\"a2\">"
            "<groups><group id=\"G1\"/></groups>"
            "<members><member id=\"T7\"/></members>"
            "<locations><location id=\"R1\"/></locations>"
            "</input>"
            "<input id=\"input2\" day=\"2\" interval=\"i5\" activity=\"a1\">"
            "<groups><group id=\"3C\"/></groups>"
            "<members><member/></members>"
            "<locations><location/></locations>"
            "</input>"
            "</inputs>");
}

TEST_F(InputListTest, ActivityIsFoundBySubjectIdentifierIgnoringCase) {
  // S12 names no ASIGNOMT row but is the subject of a2; MAT2's subject s10
  // matches the earlier a1.
  Asignaturas({{"MAT", "Matematicas", "S10"}, {"FIS", "Fisica", "S12"}, {"MAT2", "Mates", "s10"}});
  Soluc({{"1", "1", "1", "S12", "1A", "JGM", "A1"},
         {"1", "2", "1", "MAT2", "1A", "JGM", "A1"},
         {"1", "3", "1", "FIS", "1A", "JGM", "A1"},
         {"1", "4", "1", "MAT", "1A", "JGM", "A1"}});
  const std::string inputs = List("inputs");
  EXPECT_THAT(inputs, HasSubstr("id=\"input1\" day=\"1\" interval=\"i1\" activity=\"a2\""));
  EXPECT_THAT(inputs, HasSubstr("id=\"input2\" day=\"1\" interval=\"i2\" activity=\"a1\""));
  EXPECT_THAT(inputs, HasSubstr("id=\"input3\" day=\"1\" interval=\"i3\" activity=\"a2\""));
  EXPECT_THAT(inputs, HasSubstr("id=\"input4\" day=\"1\" interval=\"i4\" activity=\"a1\""));
}

TEST_F(InputListTest, LessonWithoutActivityEndsTheRun) {
  Soluc({{"1", "2", "1", "FIS", "1A", "JGM", "A1"}, {"1", "3", "1", "XYZ", "1A", "JGM", "A1"}});
  try {
    Section();
    FAIL() << "sin error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (-1)");
  }
}

struct IntervalCase {
  char separator;
  const char* hora;
  const char* sesiones;
  const char* interval;
};

class IntervalTextTest : public ::testing::WithParamInterface<IntervalCase>, public InputListTest {
 protected:
  IntervalTextTest() : InputListTest(GetParam().separator) {}
};

TEST_P(IntervalTextTest, IntervalIsTheHourInGeneralNumberFormat) {
  Soluc({{"1", GetParam().hora, GetParam().sesiones, "MAT", "1A", "JGM", "A1"}});
  EXPECT_THAT(List("inputs"), HasSubstr(std::string("interval=\"") + GetParam().interval + "\""));
}

INSTANTIATE_TEST_SUITE_P(
    Intervals, IntervalTextTest,
    ::testing::Values(IntervalCase{',', "2.5", "1", "i2,5"}, IntervalCase{'.', "2.5", "1", "i2.5"},
                      IntervalCase{',', "0", "0.5", "i-1"}, IntervalCase{',', "3", "0.25", "i3"},
                      IntervalCase{',', "3", "0.5", "i5"}, IntervalCase{',', "1.25", "0.5", "i1,5"},
                      IntervalCase{',', "7", "", "i7"}));

// SOLUC as Horaplan writes it, with numeric fields, by an independent dBase
// writer (Debian's python3-dbf).
void WriteSolucWithPython(const std::filesystem::path& folder, const std::string& fields,
                          const std::string& rows) {
  const std::filesystem::path script = folder / "soluc.py";
  WriteFile(script,
            "import dbf\n"
            "t = dbf.Table(r'" +
                (folder / "SOLUC.DBF").string() + "', '" + fields +
                "', dbf_type='db3', codepage='cp1252')\n"
                "t.open(dbf.READ_WRITE)\n"
                "for row in [" +
                rows +
                "]:\n"
                "    t.append(row)\n"
                "t.close()\n");
  std::filesystem::remove(folder / "SOLUC.DBF");
  ASSERT_EQ(std::system(("/usr/bin/python3 " + script.string()).c_str()), 0);
}

TEST_F(InputListTest, ReadsSolucWithNumericFieldsFromHoraplan) {
  WriteSolucWithPython(
      dir_.path(),
      "DIA N(1,0); HORA N(5,2); SESIONES N(4,2); ASIG C(4); CODGRUPO C(4); "
      "PROF C(4); AULA C(4)",
      "(1, 2, 1, 'FIS', '1A', 'JGM', 'A1'), (0, 3, 1, 'MAT', '2A', 'JGM', 'A1'),"
      "(2, 3, 0.5, 'MAT', '3C', 'ALR', ''), (5, 2.5, 1, 'MAT', '2A', 'JGM', 'A1')");
  EXPECT_EQ(List("inputs"),
            "<inputs>"
            "<input id=\"input1\" day=\"1\" interval=\"i2\" activity=\"a2\">"
            "<groups><group id=\"G1\"/></groups><members><member id=\"T7\"/></members>"
            "<locations><location id=\"R1\"/></locations></input>"
            "<input id=\"input2\" day=\"2\" interval=\"i5\" activity=\"a1\">"
            "<groups><group id=\"3C\"/></groups><members><member/></members>"
            "<locations><location/></locations></input>"
            "<input id=\"input3\" day=\"5\" interval=\"i2,5\" activity=\"a1\">"
            "<groups><group id=\"G3\"/></groups><members><member id=\"T7\"/></members>"
            "<locations><location id=\"R1\"/></locations></input>"
            "</inputs>");
}

TEST_F(InputListTest, ReadsSolucWithTextDayFromHoraplan) {
  // The day is written as read: a text day keeps its own spelling.
  WriteSolucWithPython(
      dir_.path(),
      "DIA C(2); HORA N(2,0); SESIONES N(3,1); ASIG C(4); CODGRUPO C(4); "
      "PROF C(4); AULA C(4)",
      "('03', 4, 1, 'FIS', '1A', 'JGM', 'A1'), ('0', 1, 1, 'MAT', '1A', 'JGM', 'A1')");
  const std::string inputs = List("inputs");
  EXPECT_THAT(inputs,
              HasSubstr("<input id=\"input1\" day=\"03\" interval=\"i4\" activity=\"a2\">"));
  EXPECT_THAT(inputs, ::testing::Not(HasSubstr("input2")));
  // MAT is used by the lesson that is not placed, so it is still an activity.
  EXPECT_THAT(Section(), HasSubstr("<activity id=\"a1\" name=\"Matematicas\" subject=\"S10\"/>"));
}

TEST_F(InputListTest, TextDayThatIsNotAWholeNumberEndsTheRun) {
  WriteSolucWithPython(
      dir_.path(),
      "DIA C(2); HORA N(2,0); SESIONES N(3,1); ASIG C(4); CODGRUPO C(4); "
      "PROF C(4); AULA C(4)",
      "('1', 4, 1, 'FIS', '1A', 'JGM', 'A1'), ('x', 1, 1, 'MAT', '1A', 'JGM', 'A1')");
  try {
    Section();
    FAIL() << "sin error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'x' no es un valor entero válido");
  }
}

TEST_F(TimetableTest, EarlierSectionsAreReplacedAndOtherChildrenKept) {
  DiasHoras({{"1", "Lunes", "1", "8:00", "8:55"}});
  const std::filesystem::path file = dir_ / "entrada.xml";
  WriteFile(file,
            "<document><subjects/><time-tables><old/></time-tables><teachers/>"
            "<time-tables/><groups><time-tables/></groups></document>");
  WriteSectionInto(file);
  WriteSectionInto(file);
  EXPECT_EQ(ReadFile(file),
            "<document><subjects/><teachers/><groups><time-tables/></groups>"
            "<time-tables><time-table id=\"tt1\" name=\"Horaplan\">"
            "<days><day id=\"1\" name=\"Lunes\"><interval id=\"i1\" begin=\"8:00\" "
            "end=\"08:55\"/></day></days>"
            "<groups/><members/><activities/><inputs/></time-table></time-tables>"
            "</document>");
}

TEST_F(TimetableTest, FileThatDidNotLoadIsRefused) {
  const std::filesystem::path file = dir_ / "entrada.xml";
  WriteFile(file, "<document>");
  exchange::ExchangeFile unloaded;
  EXPECT_THROW(unloaded.Load(file.string()), exchange::CannotLoad);
  try {
    unloaded.SaveWithSection(file.string(), [this](exchange::SectionWriter& out) {
      WriteTimetableSection(out, store_);
    });
    FAIL() << "sin error";
  } catch (const Error& error) {
    EXPECT_THAT(error.what(), HasSubstr("no tiene elemento raíz"));
  }
  EXPECT_EQ(ReadFile(file), "<document>");
}

struct SolucFailure {
  const char* name;
  Layout layout;
  std::vector<Row> rows;
  const char* message;  // empty: the run succeeds
};

class SolucFailureTest : public ::testing::WithParamInterface<SolucFailure>,
                         public TimetableTest {};

TEST_P(SolucFailureTest, FirstFailingReadEndsTheRun) {
  Asignaturas({{"MAT", "Matematicas", "S10"}});
  Soluc(GetParam().rows, GetParam().layout);
  if (*GetParam().message == '\0') {
    EXPECT_NO_THROW(Section());
    return;
  }
  try {
    Section();
    FAIL() << "sin error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), GetParam().message);
  }
}

Layout Without(Layout layout, const std::string& field) {
  std::erase_if(layout, [&](const FieldLayout& spec) { return spec.name == field; });
  return layout;
}

Layout WithText(Layout layout, const std::string& field) {
  for (FieldLayout& spec : layout) {
    if (spec.name == field) spec = {field, FieldType::kText, 10};
  }
  return layout;
}

INSTANTIATE_TEST_SUITE_P(
    Soluc, SolucFailureTest,
    ::testing::Values(SolucFailure{"SinDia",
                                   Without(SolucLayout(), "DIA"),
                                   {{"1", "1", "MAT", "1A", "JGM", "A1"}},
                                   "wwTableSoluc: No se encuentra el campo 'DIA'"},
                      // AULA is read only for placed lessons.
                      SolucFailure{"SinAulaSinClases",
                                   Without(SolucLayout(), "AULA"),
                                   {{"0", "1", "1", "MAT", "1A", "JGM"}},
                                   ""},
                      SolucFailure{"SinAula",
                                   Without(SolucLayout(), "AULA"),
                                   {{"1", "1", "1", "MAT", "1A", "JGM"}},
                                   "wwTableSoluc: No se encuentra el campo 'AULA'"},
                      // ASIG is read for the activities before any lesson.
                      SolucFailure{"SinAsig",
                                   Without(SolucLayout(), "ASIG"),
                                   {{"0", "1", "1", "1A", "JGM", "A1"}},
                                   "wwTableSoluc: No se encuentra el campo 'ASIG'"},
                      SolucFailure{"HoraNoNumero",
                                   WithText(SolucLayout(), "HORA"),
                                   {{"0", "x", "1", "MAT", "1A", "JGM", "A1"},
                                    {"1", "", "1", "MAT", "1A", "JGM", "A1"}},
                                   "'' no es un valor punto flotante válido"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TimetableTest, EveryTableIsReleasedAfterAFailure) {
  Soluc({{"1", "1", "1", "XYZ", "", "", ""}});
  EXPECT_THROW(Section(), Error);
  for (auto binding :
       {tables::Binding::kDiasHoras, tables::Binding::kGrupos, tables::Binding::kSoluc,
        tables::Binding::kProfesor, tables::Binding::kNomAsg, tables::Binding::kAulas}) {
    // Re-creating a table fails while anyone holds it.
    EXPECT_NO_THROW(store_.MakeEmptyTable(tables::BindingTable(binding), SolucLayout()))
        << tables::BindingTable(binding);
  }
}

TEST_F(TimetableTest, LatinOneFileKeepsItsEncodingAndComments) {
  DiasHoras({{"3", "Mi\xE9rcoles", "1", "8:00", "8:55"}});
  WriteFile(dir_ / "latin1.xml",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
            "<!-- exportado por GEDU -->\n"
            "<document><!-- cat\xE1logo --><subjects><subject id=\"s1\" name=\"Educaci\xF3n\"/>"
            "</subjects></document>\n");
  WriteSectionInto(dir_ / "latin1.xml");
  const std::string saved = ReadFile(dir_ / "latin1.xml");
  EXPECT_THAT(saved, HasSubstr("encoding=\"ISO-8859-1\""));
  EXPECT_THAT(saved, HasSubstr("<!-- exportado por GEDU -->"));
  EXPECT_THAT(saved, HasSubstr("<!-- cat\xE1logo -->"));
  EXPECT_THAT(saved, HasSubstr("name=\"Educaci\xF3n\""));
  EXPECT_THAT(saved, HasSubstr("<day id=\"3\" name=\"Mi\xE9rcoles\">"));
}

}  // namespace
}  // namespace pontexa::to_gedu::testing
