#include "exchange/section_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "support/error_message.h"

namespace pontexa::exchange {
namespace {

using pontexa::testing::MessageOf;

TEST(SectionWriter, WritesElementsInOrderWithEscapedValues) {
  std::string text;
  SectionWriter out([&text](std::string_view piece) { text += piece; });
  out.StartElement("a");
  out.SetAttribute("v", "<x> & \"y\" 'z'\n\r\t\xE9\x80");
  out.StartElement("b");
  out.EndElement();
  out.StartElement("c");
  out.StartElement("d");
  out.SetAttribute("id", "");
  out.EndElement();
  out.EndElement();
  out.EndElement();
  out.Finish();
  EXPECT_EQ(text,
            "<a v=\"&lt;x&gt; &amp; &quot;y&quot; 'z'&#10;&#13;&#9;\xC3\xA9\xE2\x82\xAC\">"
            "<b/><c><d id=\"\"/></c></a>");
}

// Values longer than the pieces handed to the sink, and names of open
// elements of every depth, come out whole and in order.
TEST(SectionWriter, KeepsLongValuesAndDeepNestingWhole) {
  std::string text;
  std::size_t pieces = 0;
  SectionWriter out([&](std::string_view piece) {
    text += piece;
    ++pieces;
  });
  const std::string long_value = std::string(300000, 'x') + "<" + std::string(1000, '\xE9');
  std::string utf8_value = std::string(300000, 'x') + "&lt;";
  for (int i = 0; i < 1000; ++i) utf8_value += "\xC3\xA9";
  constexpr int kDepth = 50;
  std::string expected;
  for (int depth = 0; depth < kDepth; ++depth) {
    const std::string name = "e" + std::to_string(depth);
    out.StartElement(name);
    out.SetAttribute("v", long_value);
    out.SetAttribute("w", name);
    expected += "<" + name + " v=\"" + utf8_value + "\" w=\"" + name + "\"";
    expected += depth + 1 < kDepth ? ">" : "/>";
  }
  for (int depth = kDepth - 1; depth >= 0; --depth) {
    out.EndElement();
    if (depth + 1 < kDepth) expected += "</e" + std::to_string(depth) + ">";
  }
  out.Finish();
  EXPECT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected);
  EXPECT_GT(pieces, 1u);
}

TEST(SectionWriter, RefusesWhatXmlCannotHold) {
  SectionWriter out([](std::string_view) {});
  EXPECT_EQ(MessageOf([&] { out.StartElement("1a"); }), "Nombre de elemento no válido: '1a'");
  EXPECT_EQ(MessageOf([&] { out.SetAttribute("id", "x"); }),
            "No se puede poner el atributo 'id': no hay elemento");
  out.StartElement("a");
  EXPECT_EQ(MessageOf([&] { out.SetAttribute("a b", "x"); }),
            "Nombre de atributo no válido: 'a b'");
  EXPECT_EQ(MessageOf([&] { out.SetAttribute("v", std::string("\x1F", 1)); }),
            "El valor del atributo 'v' tiene un carácter de control que XML no admite (código 31)");
  out.SetAttribute("id", "1");
  EXPECT_EQ(MessageOf([&] { out.SetAttribute("id", "2"); }),
            "El atributo 'id' ya está puesto en este elemento");
  EXPECT_EQ(MessageOf([&] { out.Finish(); }), "El elemento 'a' está sin cerrar");
  out.EndElement();
  EXPECT_EQ(MessageOf([&] { out.EndElement(); }), "No hay ningún elemento abierto que cerrar");
}

}  // namespace
}  // namespace pontexa::exchange
