#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace pontexa::shell {

// Qt's own texts in Spanish for as long as the object lives, whatever the
// user's locale: the file dialog ("Buscar en", "Nombre de archivo", "Abrir"),
// the standard buttons of message boxes and every other text Qt itself shows.
// Dates and sizes in the file dialog follow Spanish conventions too. Needs a
// QCoreApplication; the previous state comes back when the object goes.
class SpanishTranslations {
 public:
  SpanishTranslations();
  ~SpanishTranslations();
  SpanishTranslations(const SpanishTranslations&) = delete;
  SpanishTranslations& operator=(const SpanishTranslations&) = delete;

  // False when Qt's Spanish translations are not installed (Debian's
  // qt6-translations-l10n); Qt then shows its own English texts.
  bool loaded() const { return loaded_; }
  // Where the translations were looked for, to name in a warning.
  static QString Folder();

 private:
  QTranslator translator_;
  QLocale previous_locale_;
  bool loaded_ = false;
};

}  // namespace pontexa::shell
