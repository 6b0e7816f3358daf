// The status item as the desktop draws it, each form in each state, against the reviewed pictures in
// desktop/reference/ (drawn anew for review by tools/item-pictures.sh). The comparison forgives the
// antialiasing of edges and nothing else: a form one pixel off or a wrong colour fails.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "Backends/Qt/Artwork.h"
#include "desktop/ItemPictures.h"

namespace pellmor {
namespace {

// A pixel next to one of another colour is an edge, which antialiasing may draw a little differently;
// elsewhere the colour must be the same.
constexpr int edgeTolerance = 64;  // of 255 in any premultiplied channel: a quarter of a pixel's coverage
constexpr int flatTolerance = 4;

int channelDifference(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

bool isEdge(const QImage& image, int x, int y) {
  const QRgb centre = image.pixel(x, y);
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const QPoint neighbour(x + dx, y + dy);
      if (image.rect().contains(neighbour) &&
          channelDifference(image.pixel(neighbour), centre) > flatTolerance)
        return true;
    }
  }
  return false;
}

// Nothing when the pictures agree, else what differs.
std::optional<std::string> differences(const QImage& drawn, const QImage& reference) {
  if (drawn.size() != reference.size())
    return "a size of " + std::to_string(drawn.width()) + "x" + std::to_string(drawn.height()) + " pixels";
  const QImage a = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QImage b = reference.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  int count = 0;
  std::string first;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const int difference = channelDifference(a.pixel(x, y), b.pixel(x, y));
      if (difference <= (isEdge(b, x, y) ? edgeTolerance : flatTolerance)) continue;
      if (count++ == 0)
        first = " (first at " + std::to_string(x) + "," + std::to_string(y) + ": " +
                QColor::fromRgba(a.pixel(x, y)).name(QColor::HexArgb).toStdString() + " for " +
                QColor::fromRgba(b.pixel(x, y)).name(QColor::HexArgb).toStdString() + ")";
    }
  }
  if (count == 0) return std::nullopt;
  return std::to_string(count) + " pixels differ" + first;
}

QString referencePath(const QString& name) {
  return QStringLiteral(PELLMOR_REFERENCE_PICTURES "/") + name;
}

class ItemPictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "desktop-item-pictures-test";
    static char* argv[] = {name, nullptr};
    application = std::make_unique<QGuiApplication>(argc, argv);
  }
  static void TearDownTestSuite() { application.reset(); }

  void SetUp() override {
    const QString family = QFontInfo(qt::itemFont(11)).family();
    if (family != QLatin1String("DejaVu Sans"))
      GTEST_SKIP() << "the pictures are drawn in DejaVu Sans (fonts-dejavu-core); the system font here is "
                   << family.toStdString();
  }

  static inline std::unique_ptr<QGuiApplication> application;
  qt::QtTextMetrics metrics;
};

TEST_F(ItemPictures, EachFormInEachStateLooksAsReviewed) {
  for (const pictures::State& state : pictures::states()) {
    for (const pictures::Cell& cell : pictures::cells()) {
      const QString name = pictures::fileName(state, cell);
      SCOPED_TRACE(name.toStdString());
      const QImage reference(referencePath(name));
      ASSERT_FALSE(reference.isNull()) << "no reference picture; tools/item-pictures.sh draws them";
      const QImage drawn = pictures::draw(state, cell, metrics);
      if (const std::optional<std::string> difference = differences(drawn, reference)) {
        drawn.save(QStringLiteral("drawn-") + name);  // beside the test, for a look
        ADD_FAILURE() << *difference << "; drawn: drawn-" << name.toStdString();
      }
    }
  }
}

// Where the fonts make the device pixel ratio 1.25 or 1.5 and the tray keeps its icons' pixels, the tile
// drawn in the tray's window is the picture of those pixels at scale 1: as sharp and as legible.
TEST_F(ItemPictures, ATileAtAFractionalRatioIsThePictureOfItsPixels) {
  for (const pictures::State& state : pictures::states()) {
    for (const pictures::Cell& cell :
         {pictures::Cell{22, 22}, pictures::Cell{24, 24}, pictures::Cell{32, 24}}) {
      for (const double ratio : {1.25, 1.5}) {
        SCOPED_TRACE(::testing::Message()
                     << pictures::fileName(state, cell).toStdString() << " at " << ratio);
        const QImage reference(referencePath(pictures::fileName(state, cell)));
        ASSERT_FALSE(reference.isNull());
        const QSizeF points(cell.width / ratio, cell.height / ratio);
        QImage drawn(cell.width, cell.height, QImage::Format_ARGB32);
        drawn.setDevicePixelRatio(ratio);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        qt::paintItem(painter, layOut(state.shown, {points.width(), points.height()}, metrics, ratio), points,
                      ratio);
        painter.end();
        if (const std::optional<std::string> difference = differences(drawn, reference)) {
          drawn.save(QStringLiteral("drawn-%1-at-%2.png").arg(pictures::fileName(state, cell)).arg(ratio));
          ADD_FAILURE() << *difference;
        }
      }
    }
  }
}

// The comparison itself, on a reference picture: what it forgives and what it catches.
TEST_F(ItemPictures, ComparisonForgivesAntialiasingOnly) {
  const QImage reference =
      QImage(referencePath(QStringLiteral("running-22x22.png"))).convertToFormat(QImage::Format_ARGB32);
  ASSERT_FALSE(reference.isNull());
  const auto shifted = [&](int dx, int dy) {
    QImage image(reference.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).drawImage(dx, dy, reference);
    return image;
  };
  const auto changed = [&](auto change) {
    QImage image = reference;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        image.setPixel(x, y, change(x, y, image.pixel(x, y)));
    return image;
  };
  const QRgb segment = qt::bundleColour("StatusItemBackground").rgba();
  const struct {
    const char* what;
    QImage picture;
    bool same;
  } table[] = {
      {"the reference", reference, true},
      {"its edges antialiased a little lighter or darker", changed([&](int x, int y, QRgb pixel) {
         if (!isEdge(reference, x, y)) return pixel;
         const int shift = (x + y) % 2 == 0 ? 40 : -40;
         const auto channel = [&](int value) { return std::clamp(value + shift, 0, 255); };
         return qRgba(channel(qRed(pixel)), channel(qGreen(pixel)), channel(qBlue(pixel)), qAlpha(pixel));
       }),
       true},
      {"one pixel to the right", shifted(1, 0), false},
      {"one pixel down", shifted(0, 1), false},
      {"the segment a shade darker", changed([&](int, int, QRgb pixel) {
         return pixel == segment ? qRgba(qRed(pixel), qGreen(pixel) - 12, qBlue(pixel) - 12, 255) : pixel;
       }),
       false},
  };
  for (const auto& row : table) {
    EXPECT_EQ(!differences(row.picture, reference).has_value(), row.same) << row.what;
  }
}

}  // namespace
}  // namespace pellmor
