#include "Backends/Qt/Artwork.h"

#include <QFile>
#include <QString>

namespace pellmor::qt {
namespace {

// The densities the artwork is drawn at (tools/make-artwork.sh), each at its own pixel size.
constexpr int artworkDensities[] = {1, 2, 3, 4, 6};

QString resourcePath(const std::string& name, const QString& suffix) {
  return QStringLiteral(":/PellmorStatus/") + QString::fromStdString(name) + suffix;
}

// The least density that needs no enlarging, or the highest there is.
int densityFor(double pixelsPerPoint) {
  for (int density : artworkDensities) {
    if (density >= pixelsPerPoint - 1e-6) return density;
  }
  return artworkDensities[std::size(artworkDensities) - 1];
}

}  // namespace

QPixmap bundleImage(const std::string& name, double pixelsPerPoint) {
  const int density = densityFor(pixelsPerPoint);
  const QString suffix = density == 1 ? QStringLiteral(".png") : QStringLiteral("@%1x.png").arg(density);
  QPixmap image(resourcePath(name, suffix));
  if (image.isNull()) return image;
  image.setDevicePixelRatio(density);
  return image;
}

QColor bundleColour(const std::string& name) {
  if (name == "white") return QColor(Qt::white);
  QFile file(resourcePath(name, QStringLiteral(".colour")));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QColor::fromString(QString::fromUtf8(file.readAll()).trimmed());
}

}  // namespace pellmor::qt
