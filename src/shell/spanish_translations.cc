#include "shell/spanish_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace pontexa::shell {

QString SpanishTranslations::Folder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

SpanishTranslations::SpanishTranslations() : previous_locale_(QLocale()) {
  QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
  loaded_ = translator_.load(QStringLiteral("qtbase_es"), Folder()) &&
            QCoreApplication::installTranslator(&translator_);
}

SpanishTranslations::~SpanishTranslations() {
  if (loaded_) QCoreApplication::removeTranslator(&translator_);
  QLocale::setDefault(previous_locale_);
}

}  // namespace pontexa::shell
