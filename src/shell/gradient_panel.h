#pragma once

#include <QImage>
#include <QWidget>

#include "shell/gradient.h"

namespace pontexa::shell {

// A panel painted edge to edge with the three-colour vertical gradient of
// GradientRowColours. The gradient is drawn off screen, in device pixels, and
// copied to the screen in one piece so that it does not flicker.
class GradientPanel : public QWidget {
 public:
  // `top` is the upper edge colour (EndColor), `bottom` the lower (StartColor).
  GradientPanel(Rgb top, Rgb middle, Rgb bottom, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void RebuildIfNeeded();

  Rgb top_;
  Rgb middle_;
  Rgb bottom_;
  QImage picture_;
};

}  // namespace pontexa::shell
