#pragma once

#include <QTranslator>

namespace pontexa::shell {

// The few texts Qt's own widgets show in this program, in Spanish: the button
// of a message box that shows or hides its details. Installed once, in main.
class SpanishTexts : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* source_text, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return false; }
};

}  // namespace pontexa::shell
