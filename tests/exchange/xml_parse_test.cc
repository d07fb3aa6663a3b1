#include "exchange/xml_parse.h"

#include <gtest/gtest.h>

#include <string>

namespace pontexa::exchange {
namespace {

// The save's quick check must judge every file as the load does, or a save
// could write a file that the next run cannot load.
TEST(CheckWellFormed, AgreesWithTheFullParse) {
  struct Case {
    std::string bytes;
    bool well_formed;
  };
  const Case cases[] = {
      {"<document/>", true},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><d a=\"\x80\"/>", true},
      {"<!DOCTYPE d [<!ENTITY e \"x &amp; y\">]><d a=\"&e;\">&e;</d>", true},
      {"<!DOCTYPE d [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><d>&e;</d>", true},
      {"<d xmlns:g=\"urn:g\"><g:e/></d>", true},
      {"<d><![CDATA[<x>]]><!-- c --><?p q?></d>", true},
      {"", false},
      {"<d>", false},
      {"<d>&undeclared;</d>", false},
      {"<d a=\"1\" a=\"2\"/>", false},
      {"<d>\n<e></d>", false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><d>\xFF</d>", false},
      {"<!DOCTYPE d [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><d>&a;</d>", false},
  };
  for (const Case& c : cases) {
    std::string parse_failure;
    bool parsed = ParseXml(c.bytes, "x.xml", parse_failure) != nullptr;
    std::string check_failure = CheckWellFormed(c.bytes, "x.xml");
    EXPECT_EQ(parsed, c.well_formed) << c.bytes;
    EXPECT_EQ(check_failure, parse_failure) << c.bytes;
  }
}

}  // namespace
}  // namespace pontexa::exchange
