#include "synthetic_school.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <memory>
#include <set>
#include <string>

#include "exchange_writer.h"

namespace pontexa::bench {
namespace {

TEST(SyntheticSchool, SameSeedSameFileOtherSeedOtherFile) {
  const std::string first = ExchangeFileText(MakeSchool(2, 7));
  EXPECT_EQ(first, ExchangeFileText(MakeSchool(2, 7)));
  EXPECT_NE(first, ExchangeFileText(MakeSchool(2, 8)));
}

TEST(SyntheticSchool, ScalesEveryCatalogueByK) {
  const School school = MakeSchool(3, 1);
  EXPECT_EQ(school.subjects.size(), 3u * kSubjectsPerCopy);
  EXPECT_EQ(school.teachers.size(), 3u * kTeachersPerCopy);
  EXPECT_EQ(school.rooms.size(), 3u * kRoomsPerCopy);
  EXPECT_EQ(school.groups.size(), 3u * kGroupsPerCopy);
}

TEST(SyntheticSchool, IdentifiersAreUniqueAndFitTheIdentifierField) {
  const School school = MakeSchool(3, 1);
  std::set<std::string> ids;
  std::size_t count = 0;
  const auto add = [&](const std::string& id) {
    EXPECT_FALSE(id.empty());
    EXPECT_LE(id.size(), 60u);
    ids.insert(id);
    ++count;
  };
  for (const auto& s : school.subjects) add(s.id);
  for (const auto& t : school.teachers) add(t.id);
  for (const auto& r : school.rooms) add(r.id);
  for (const auto& g : school.groups) add(g.id);
  EXPECT_EQ(ids.size(), count);
}

TEST(SyntheticSchool, GroupsTakeAboutThirtySubjectsOfTheirOwnCopy) {
  const School school = MakeSchool(2, 3);
  std::size_t assignments = 0;
  for (const Group& group : school.groups) {
    EXPECT_GE(group.assignments.size(), 22u) << group.name;
    EXPECT_LE(group.assignments.size(), 32u) << group.name;
    assignments += group.assignments.size();
    for (const Assignment& a : group.assignments) {
      EXPECT_EQ(a.subject / kSubjectsPerCopy, group.copy);
      ASSERT_GE(a.teachers.size(), 1u);
      ASSERT_LE(a.teachers.size(), 2u);
      for (int t : a.teachers) EXPECT_EQ(t / kTeachersPerCopy, group.copy);
      if (a.teachers.size() == 2) {
        EXPECT_NE(a.teachers[0], a.teachers[1]);
      }
    }
    EXPECT_EQ(group.home_room / kRoomsPerCopy, group.copy);
  }
  const double per_group = static_cast<double>(assignments) / school.groups.size();
  EXPECT_GT(per_group, 27);
  EXPECT_LT(per_group, 32);
}

// The exchange file is well-formed UTF-8 XML with the shape the conversion reads.
TEST(ExchangeWriter, WritesTheCataloguesInTheExchangeVocabulary) {
  const School school = MakeSchool(1, 5);
  const std::string text = ExchangeFileText(school);
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
      xmlReadMemory(text.data(), static_cast<int>(text.size()), "school.xml", nullptr,
                    XML_PARSE_NONET),
      &xmlFreeDoc);
  ASSERT_NE(doc, nullptr);
  std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
      xmlXPathNewContext(doc.get()), &xmlXPathFreeContext);
  const auto count = [&](const char* path) {
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path), context.get()),
        &xmlXPathFreeObject);
    return result->floatval;
  };
  std::size_t assignments = 0, assigned_teachers = 0;
  for (const Group& g : school.groups) {
    assignments += g.assignments.size();
    for (const Assignment& a : g.assignments) assigned_teachers += a.teachers.size();
  }
  EXPECT_EQ(count("count(/document/subjects/subject[@id and @name])"), school.subjects.size());
  EXPECT_EQ(count("count(/document/teachers/teacher[@id and text()])"), school.teachers.size());
  EXPECT_EQ(count("count(/document/locations/location[@id and text()])"), school.rooms.size());
  EXPECT_EQ(count("count(/document/groups/group[@id and @name])"), school.groups.size());
  EXPECT_EQ(count("count(/document/groups/group/assigned-subjects/assigned-subject[@id])"),
            assignments);
  EXPECT_EQ(count("count(//assigned-subject/assigned-teachers/assigned-teacher[@id])"),
            assigned_teachers);
  // Hours are missing now and then, and sometimes have a fraction.
  EXPECT_GT(count("count(//subject[not(@hours)])"), 0);
  EXPECT_GT(count("count(//subject[contains(@hours, '.')])"), 0);
  // Names carry Spanish accents.
  EXPECT_GT(count("count(//teacher[contains(., 'á') or contains(., 'é') or contains(., 'í')])"), 0);
  EXPECT_EQ(count("count(/document/groups/group[@name='1 ESO A'])"), 1);
  EXPECT_EQ(count("count(/document/groups/group[@name='4 ESO DIVER A'])"), 1);
}

TEST(ExchangeWriter, EscapesMarkupCharacters) {
  School school = MakeSchool(1, 1);
  school.rooms[0].name = "Taller \"A\" & <B>";
  school.subjects[0].name = "I+D & \"Robótica\"";
  const std::string text = ExchangeFileText(school);
  EXPECT_NE(text.find(">Taller &quot;A&quot; &amp; &lt;B&gt;</location>"), std::string::npos);
  EXPECT_NE(text.find("name=\"I+D &amp; &quot;Robótica&quot;\""), std::string::npos);
}

}  // namespace
}  // namespace pontexa::bench
