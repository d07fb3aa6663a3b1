#include "shell/gradient.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <cmath>
#include <vector>

#include "shell/main_form.h"
#include "support/temp_dir.h"

namespace pontexa::shell {
namespace {

const Rgb kUpperTop = RgbFromHex(0xFFEEDD), kUpperMiddle = RgbFromHex(0xFFFFFF),
          kUpperBottom = RgbFromHex(0xF9D37D);
const Rgb kLowerTop = RgbFromHex(0xCCD8E6), kLowerMiddle = RgbFromHex(0xCFF2FE),
          kLowerBottom = RgbFromHex(0xC2CDFE);

int Mix(int a, int b, double t) { return static_cast<int>(std::round(a + (b - a) * t)); }

// The band rule worked out row by row, in floating point: for each part, the
// band that covers a row counted upwards from the part's bottom edge, and that
// band's colour.
std::vector<Rgb> ExpectedRows(int height, Rgb top, Rgb middle, Rgb bottom) {
  std::vector<Rgb> rows(height);
  const int split = height / 2;
  auto part = [&](int first, int end, Rgb upper, Rgb lower) {
    const int h = end - first;
    const int n = h < 256 ? h : 256;
    for (int up = 0; up < h; ++up) {
      int band = 0;
      while (band + 1 < n && std::round(double(h) * (band + 1) / n) <= up) ++band;
      const double t = n > 1 ? double(band) / (n - 1) : 0.0;
      rows[end - 1 - up] = Rgb{static_cast<std::uint8_t>(Mix(lower.red, upper.red, t)),
                               static_cast<std::uint8_t>(Mix(lower.green, upper.green, t)),
                               static_cast<std::uint8_t>(Mix(lower.blue, upper.blue, t))};
    }
  };
  part(0, split, top, middle);
  part(split, height, middle, bottom);
  return rows;
}

std::string Hex(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.red, c.green, c.blue);
  return text;
}

TEST(GradientRowColours, EveryRowFollowsTheBandRule) {
  // The window's two panel heights, odd and even heights, a part of one row,
  // and panels tall enough for parts of more than 256 rows.
  for (int height : {169, 97, 2, 3, 4, 255, 511, 512, 513, 600, 1000}) {
    const std::vector<Rgb> rows = GradientRowColours(height, kUpperTop, kUpperMiddle, kUpperBottom);
    const std::vector<Rgb> expected = ExpectedRows(height, kUpperTop, kUpperMiddle, kUpperBottom);
    ASSERT_EQ(rows.size(), expected.size()) << height;
    for (int y = 0; y < height; ++y) {
      ASSERT_EQ(Hex(rows[y]), Hex(expected[y])) << "height " << height << " row " << y;
    }
  }
}

TEST(GradientRowColours, EdgesAndMiddleCarryTheirColours) {
  const std::vector<Rgb> rows = GradientRowColours(169, kUpperTop, kUpperMiddle, kUpperBottom);
  EXPECT_EQ(rows.front(), kUpperTop);
  EXPECT_EQ(rows[83], kUpperMiddle);  // last row of the upper part
  EXPECT_EQ(rows[84], kUpperMiddle);  // first row of the lower part
  EXPECT_EQ(rows.back(), kUpperBottom);
  // The lower part's red channel goes from F9 to FF over 84 steps: step 7 lies
  // exactly half-way between F9 and FA and rounds up.
  EXPECT_EQ(rows[168 - 7].red, 0xFA);  // 0xF9 + 6·7/84 = 249.5

  EXPECT_TRUE(GradientRowColours(0, kUpperTop, kUpperMiddle, kUpperBottom).empty());
  EXPECT_EQ(GradientRowColours(1, kUpperTop, kUpperMiddle, kUpperBottom),
            std::vector<Rgb>{kUpperBottom});
}

// Each panel of the real window, painted without its labels and buttons, has
// on every row of its full width the colour the rule gives.
TEST(GradientPanels, PaintEveryRowWithItsBandColour) {
  testing::TempDir dir;
  TMForm form(dir.path(), RegionalSettings{','});
  const struct {
    const char* name;
    Rgb top, middle, bottom;
  } panels[] = {{"Draw3D1", kLowerTop, kLowerMiddle, kLowerBottom},
                {"Draw3D2", kUpperTop, kUpperMiddle, kUpperBottom},
                {"Draw3D3", kUpperTop, kUpperMiddle, kUpperBottom}};
  for (const auto& panel : panels) {
    auto* widget = form.findChild<QWidget*>(panel.name);
    ASSERT_NE(widget, nullptr) << panel.name;
    QImage image(widget->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    const std::vector<Rgb> expected =
        ExpectedRows(image.height(), panel.top, panel.middle, panel.bottom);
    for (int y = 0; y < image.height(); ++y) {
      const Rgb want = expected[y];
      for (int x = 0; x < image.width(); ++x) {
        const QRgb got = image.pixel(x, y);
        ASSERT_EQ(
            Hex(Rgb{static_cast<std::uint8_t>(qRed(got)), static_cast<std::uint8_t>(qGreen(got)),
                    static_cast<std::uint8_t>(qBlue(got))}),
            Hex(want))
            << panel.name << " x " << x << " y " << y;
      }
    }
  }
}

}  // namespace
}  // namespace pontexa::shell
