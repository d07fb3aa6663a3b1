#include "exchange/document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "support/temp_dir.h"

namespace pontexa::exchange {
namespace {

using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

// Loads UTF-8 XML text through a file, as the runs do.
class DocumentTest : public ::testing::Test {
 protected:
  Document& Load(const std::string& xml) {
    WriteFile(dir_ / "exchange.xml", xml);
    EXPECT_NO_THROW(document_.Load((dir_ / "exchange.xml").string()));
    return document_;
  }
  std::vector<std::string> Names(const NodeList& list) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < list.Length(); ++i) {
      Node node = list.Item(static_cast<std::ptrdiff_t>(i));
      Element element = node.AsElement();
      names.push_back(element ? element.Name() + "=" + element.Attributes().NamedItem("id").Value()
                              : "#" + node.Value());
    }
    return names;
  }

  TempDir dir_;
  Document document_;
};

constexpr char kIndented[] =
    "<?xml version=\"1.0\"?>\n"
    "<document>\n"
    "  <groups>\n"
    "    <group id=\"g1\">\n"
    "      <assigned-subjects>\n"
    "        <assigned-subject id=\"s1\"/>\n"
    "        <assigned-subject id=\"s2\"/>\n"
    "      </assigned-subjects>\n"
    "    </group>\n"
    "    <group id=\"g2\"/>\n"
    "  </groups>\n"
    "  <groups>\n"
    "    <group id=\"g3\"/>\n"
    "  </groups>\n"
    "</document>\n";

TEST_F(DocumentTest, IndentationIsNoChildAndNoFirstChild) {
  Element root = Load(kIndented).DocumentElement();
  EXPECT_EQ(root.Name(), "document");
  EXPECT_EQ(root.FirstChild().AsElement().Name(), "groups");
  Element group = root.SelectSingleNode("groups/group").AsElement();
  EXPECT_EQ(Names(group.ChildNodes()), std::vector<std::string>{"assigned-subjects="});
  EXPECT_EQ(root.Value(), "");
}

TEST_F(DocumentTest, PathsReachEveryMatchInDocumentOrder) {
  Document& document = Load(kIndented);
  EXPECT_EQ(Names(document.SelectNodes("/document/groups/group")),
            (std::vector<std::string>{"group=g1", "group=g2", "group=g3"}));
  Element group = document.SelectNodes("/document/groups/group").Item(0).AsElement();
  EXPECT_EQ(Names(group.SelectNodes("assigned-subjects/assigned-subject")),
            (std::vector<std::string>{"assigned-subject=s1", "assigned-subject=s2"}));
  EXPECT_EQ(group.SelectSingleNode("assigned-subjects/assigned-subject")
                .AsElement()
                .Attributes()
                .NamedItem("id")
                .Value(),
            "s1");
  // A path starting with "/" starts at the document, whatever the element.
  EXPECT_EQ(group.SelectNodes("/document/groups").Length(), 2u);
}

TEST_F(DocumentTest, PathsThatReachNothingGiveEmptyLists) {
  Document& document = Load(kIndented);
  Element root = document.DocumentElement();
  EXPECT_EQ(document.SelectNodes("/document/subjects/subject").Length(), 0u);
  EXPECT_EQ(document.SelectNodes("/Document/groups/group").Length(), 0u);  // letter case counts
  EXPECT_EQ(document.SelectNodes("/groups/group").Length(), 0u);           // must start at the root
  EXPECT_EQ(root.SelectNodes("time-tables").Length(), 0u);
  EXPECT_TRUE(root.SelectSingleNode("time-tables").IsNull());
  EXPECT_TRUE(document.SelectNodes("/document/groups/group").Item(3).IsNull());
  EXPECT_TRUE(document.SelectNodes("/document/groups/group").Item(-1).IsNull());

  Load("<other><groups><group id=\"g\"/></groups></other>");
  EXPECT_EQ(document.SelectNodes("/document/groups/group").Length(), 0u);
}

TEST_F(DocumentTest, PathsBeyondPlainNameChainsAreRefused) {
  Element root = Load(kIndented).DocumentElement();
  for (const char* path : {"", "/", "groups//group", "groups/", "groups/*", "groups/group[1]",
                           "../document", "./groups", "groups/@id", "//group"}) {
    EXPECT_THROW(root.SelectNodes(path), Error) << path;
    EXPECT_THROW(document_.SelectNodes(path), Error) << path;
  }
}

TEST_F(DocumentTest, PrefixedElementsMatchOnlyTheirQualifiedName) {
  Document& document = Load(
      "<document xmlns:g=\"urn:gedu\" xmlns=\"urn:default\">"
      "<g:teachers><teacher id=\"a\"/></g:teachers><teachers><teacher id=\"b\"/></teachers>"
      "</document>");
  EXPECT_EQ(Names(document.SelectNodes("/document/teachers/teacher")),
            std::vector<std::string>{"teacher=b"});
  EXPECT_EQ(Names(document.SelectNodes("/document/g:teachers/teacher")),
            std::vector<std::string>{"teacher=a"});
  EXPECT_EQ(document.SelectNodes("/document/g:teachers").Item(0).AsElement().Name(), "g:teachers");
}

TEST_F(DocumentTest, AttributesAreLookedUpByExactName) {
  Element subject = Load("<document><subject name=\"Lengua\" id=\"s1\"/></document>")
                        .DocumentElement()
                        .FirstChild()
                        .AsElement();
  AttributeMap attributes = subject.Attributes();
  EXPECT_EQ(attributes.Length(), 2u);
  EXPECT_EQ(attributes.NamedItem("id").Value(), "s1");
  EXPECT_TRUE(attributes.NamedItem("hours").IsNull());
  EXPECT_TRUE(attributes.NamedItem("ID").IsNull());
  EXPECT_EQ(attributes.NamedItem("hours").Value(), "");
}

TEST_F(DocumentTest, ValuesAreTrimmedOfControlsAndSpacesOnly) {
  struct Case {
    const char* xml;  // the value as written in the file, inside <v a="...">...</v>
    const char* attribute;
    const char* expected;  // 8-bit text
  };
  const Case cases[] = {
      {"<v a=\" x&#9;\"/>", "a", "x"},
      {"<v a=\"   \"/>", "a", ""},
      {"<v a=\"a&#10;b\"/>", "a", "a\nb"},
      {"<v a=\"&#9;&#13;&#10;x y&#32;\"/>", "a", "x y"},
      {"<v a=\"&#160;x&#160;\"/>", "a",
       "\xA0"
       "x\xA0"},  // no-break space stays
      {"<v a=\"Mar&#237;a &amp; Jos&#233;\"/>", "a",
       "Mar\xED"
       "a & Jos\xE9"},
      {"<v a=\"&#8364;&#338;\"/>", "a", "\x80\x8C"},
      {"<v a=\"&#321;ukasz Nguy&#7877;n &#x1F600;\"/>", "a", "Lukasz Nguy?n ?"},  // best fit
      {"<v>\n  Ana\n  L&#243;pez\n</v>", nullptr, "Ana\n  L\xF3pez"},
      {"<v><![CDATA[ <b> ]]></v>", nullptr, "<b>"},
      {"<v>Ana <i>Mar&#237;a</i><![CDATA[ L]]>&#243;pez<!-- no --><?pi no?></v>", nullptr,
       "Ana Mar\xED"
       "a L\xF3pez"},
  };
  for (const Case& c : cases) {
    Element v = Load(std::string("<document>") + c.xml + "</document>")
                    .DocumentElement()
                    .FirstChild()
                    .AsElement();
    Node node = c.attribute ? v.Attributes().NamedItem(c.attribute) : Node(v);
    EXPECT_EQ(node.Value(), c.expected) << c.xml;
  }
}

TEST_F(DocumentTest, FirstChildTextReadsTheSameWhetherTextOrElement) {
  Document& document = Load(
      "<document><teachers>\n"
      "  <teacher id=\"t1\" name=\"ignored\">Pilar Ruiz</teacher>\n"
      "  <teacher id=\"t2\">\n    <name>Pilar Ruiz</name>\n  </teacher>\n"
      "</teachers></document>");
  NodeList teachers = document.SelectNodes("/document/teachers/teacher");
  ASSERT_EQ(teachers.Length(), 2u);
  EXPECT_EQ(teachers.Item(0).AsElement().FirstChild().Value(), "Pilar Ruiz");
  EXPECT_EQ(teachers.Item(1).AsElement().FirstChild().Value(), "Pilar Ruiz");
  EXPECT_TRUE(teachers.Item(0).AsElement().FirstChild().AsElement().IsNull());
}

TEST_F(DocumentTest, DeclaredEntitiesReadAsTheirText) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE document [\n"
      "<!ENTITY centro \"IES &amp; &quot;Sur&quot;\">\n"
      "<!ENTITY nombre \"&centro; de Cuenca\">\n"
      "<!ENTITY ciudad \"Cuenca &amp; &#233;\">\n"
      "<!ENTITY solo \"&ciudad; (Espa&#241;a)\">\n"
      "]>\n"
      "<document><school name=\"&nombre;\" city=\" &solo;\">&nombre;</school></document>\n";
  Element school = Load(xml).DocumentElement().FirstChild().AsElement();
  EXPECT_EQ(school.Value(), "IES & \"Sur\" de Cuenca");
  EXPECT_EQ(school.Attributes().NamedItem("name").Value(), "IES & \"Sur\" de Cuenca");
  // Entities used only inside attribute values.
  EXPECT_EQ(school.Attributes().NamedItem("city").Value(),
            "Cuenca & \xE9 (Espa\xF1"
            "a)");
}

TEST_F(DocumentTest, AbsentNodesReadAsNothing) {
  Element none;
  EXPECT_EQ(none.Value(), "");
  EXPECT_EQ(none.Name(), "");
  EXPECT_EQ(none.ChildNodes().Length(), 0u);
  EXPECT_TRUE(none.FirstChild().IsNull());
  EXPECT_EQ(none.Attributes().Length(), 0u);
  EXPECT_TRUE(none.Attributes().NamedItem("id").IsNull());
  EXPECT_EQ(none.SelectNodes("a/b").Length(), 0u);
  EXPECT_TRUE(Node().AsElement().IsNull());

  Document empty;
  EXPECT_TRUE(empty.DocumentElement().IsNull());
  EXPECT_EQ(empty.SelectNodes("/document/subjects/subject").Length(), 0u);
}

}  // namespace
}  // namespace pontexa::exchange
