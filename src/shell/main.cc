#include <QApplication>
#include <cstdio>
#include <string>

#include "platform/regional_settings.h"
#include "run/table_folder.h"
#include "shell/main_form.h"
#include "shell/messages.h"
#include "shell/spanish_translations.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Lets the desktop match the window with pontexa.desktop and its icon.
  QGuiApplication::setDesktopFileName("pontexa");
  // Every text of the window is Spanish, Qt's own ones (the file dialog, the
  // standard buttons) included, whatever the user's locale.
  const pontexa::shell::SpanishTranslations spanish;
  if (!spanish.loaded()) {
    const std::string warning = pontexa::shell::messages::MissingTranslations(
        pontexa::shell::SpanishTranslations::Folder().toStdString());
    std::fprintf(stderr, "%s\n", warning.c_str());
  }

  // The user's settings and the tables' folder are read once, here, and handed down.
  const pontexa::RegionalSettings regional = pontexa::RegionalSettingsFromEnvironment();
  const std::filesystem::path table_folder = pontexa::run::TableFolder();

  pontexa::shell::TMForm form(table_folder, regional);
  form.show();
  // What a run cut short left is put right, and said, before anything else.
  form.PutRightUnfinishedRun();
  // Closing the window ends the event loop; nothing is written at shut-down.
  return application.exec();
}
