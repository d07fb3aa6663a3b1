#include <QApplication>

#include "platform/file_system.h"
#include "platform/regional_settings.h"
#include "run/timetable_directory.h"
#include "shell/main_form.h"
#include "shell/spanish_texts.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  pontexa::shell::SpanishTexts spanish;
  QApplication::installTranslator(&spanish);

  // The user's settings and the tables' folder are read once, here, and handed down.
  const pontexa::RegionalSettings regional = pontexa::RegionalSettingsFromEnvironment();
  const std::filesystem::path timetable_directory = pontexa::run::TimetableDirectory();
  const pontexa::RealFileSystem files;

  pontexa::shell::TMForm form(files, timetable_directory, regional);
  form.show();
  // Closing the window ends the event loop; nothing is written at shut-down.
  return application.exec();
}
