#include <gtest/gtest.h>

#include <QApplication>

#include "shell/spanish_translations.h"

// The window's tests need a QApplication; without a display they use Qt's
// offscreen platform.
int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const pontexa::shell::SpanishTranslations spanish;  // as main installs them
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
