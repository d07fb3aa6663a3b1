#include "shell/gradient_panel.h"

#include <QPainter>
#include <cmath>

namespace pontexa::shell {

GradientPanel::GradientPanel(Rgb top, Rgb middle, Rgb bottom, QWidget* parent)
    : QWidget(parent), top_(top), middle_(middle), bottom_(bottom) {
  // Every pixel is painted here; Qt need not clear the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::RebuildIfNeeded() {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels(static_cast<int>(std::lround(width() * ratio)),
                     static_cast<int>(std::lround(height() * ratio)));
  if (!picture_.isNull() && picture_.size() == pixels && picture_.devicePixelRatio() == ratio) {
    return;
  }
  picture_ = QImage(pixels, QImage::Format_RGB32);
  picture_.setDevicePixelRatio(ratio);
  const std::vector<Rgb> rows = GradientRowColours(pixels.height(), top_, middle_, bottom_);
  for (int y = 0; y < pixels.height(); ++y) {
    const QRgb colour = qRgb(rows[y].red, rows[y].green, rows[y].blue);
    auto* line = reinterpret_cast<QRgb*>(picture_.scanLine(y));
    std::fill(line, line + pixels.width(), colour);
  }
}

void GradientPanel::paintEvent(QPaintEvent*) {
  RebuildIfNeeded();
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), picture_);
}

}  // namespace pontexa::shell
