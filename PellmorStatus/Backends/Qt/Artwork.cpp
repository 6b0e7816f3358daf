#include "Backends/Qt/Artwork.h"

#include <QFile>
#include <QString>

namespace pellmor::qt {
namespace {

QString resourcePath(const std::string& name, const char* suffix) {
  return QStringLiteral(":/PellmorStatus/") + QString::fromStdString(name) + QLatin1String(suffix);
}

}  // namespace

QPixmap bundleImage(const std::string& name, double devicePixelRatio) {
  // Above 1x the 2x artwork keeps edges crisp; the painter scales it down where the ratio is fractional.
  const bool doubleDensity = devicePixelRatio > 1.0;
  QPixmap image(resourcePath(name, doubleDensity ? "@2x.png" : ".png"));
  if (image.isNull()) return image;
  image.setDevicePixelRatio(doubleDensity ? 2.0 : 1.0);
  return image;
}

QColor bundleColour(const std::string& name) {
  if (name == "white") return QColor(Qt::white);
  QFile file(resourcePath(name, ".colour"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QColor::fromString(QString::fromUtf8(file.readAll()).trimmed());
}

}  // namespace pellmor::qt
