#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "platform/file_system.h"
#include "platform/regional_settings.h"
#include "run/timetable_directory.h"
#include "shell/main_form.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Lets the desktop match the window with pontexa.desktop and its icon.
  QGuiApplication::setDesktopFileName("pontexa");
  // Qt's own texts (the file dialog's labels and buttons) in Spanish, as the
  // rest of the window, whatever the user's locale; they come with Qt's
  // translations (Debian package qt6-translations-l10n).
  QTranslator qt_texts;
  if (qt_texts.load(QLocale(QLocale::Spanish, QLocale::Spain), "qtbase", "_",
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    application.installTranslator(&qt_texts);
  }

  // The user's settings and the tables' folder are read once, here, and handed down.
  const pontexa::RegionalSettings regional = pontexa::RegionalSettingsFromEnvironment();
  const std::filesystem::path timetable_directory = pontexa::run::TimetableDirectory();
  const pontexa::RealFileSystem files;

  pontexa::shell::TMForm form(files, timetable_directory, regional);
  form.show();
  // Closing the window ends the event loop; nothing is written at shut-down.
  return application.exec();
}
