#include "shell/application_title.h"

#include <gtest/gtest.h>

namespace pontexa::shell {
namespace {

TEST(ApplicationTitle, FileNameBeforeFirstDotWithLettersAfterTheFirstInLowerCase) {
  const struct {
    const char* path;
    const char* title;
  } cases[] = {
      {"/usr/bin/pontexa", "pontexa"},
      {"C:\\Programas\\Pontexa.exe", "Pontexa"},
      {"C:\\PROGRAMAS\\PONTEXA.EXE", "Pontexa"},
      {"/opt/pontexa.v1.02/bin/PonTexa.bin.exe", "Pontexa"},  // a dot in a folder does not cut
      {"pontexa", "pontexa"},
      {"/home/ana/ñandú.exe", "ñandú"}, {"/home/ana/ÑANDÚ.EXE", "Ñandú"},
      {"/home/ana/.oculto", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApplicationTitle(QString::fromUtf8(c.path)), QString::fromUtf8(c.title)) << c.path;
  }
}

}  // namespace
}  // namespace pontexa::shell
