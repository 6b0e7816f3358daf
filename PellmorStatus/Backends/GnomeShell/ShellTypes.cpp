#include "Backends/GnomeShell/ShellTypes.h"

#include <QDBusMetaType>
#include <QImage>

namespace pellmor::gnome {

ItemImage itemImageFrom(const QImage& image) {
  // RGBA8888 lays its bytes out in that order on every machine, as the extension reads them.
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
  const qsizetype rowBytes = static_cast<qsizetype>(rgba.width()) * 4;
  ItemImage result{rgba.width(), rgba.height(), {}};
  result.pixels.reserve(rowBytes * rgba.height());
  for (int y = 0; y < rgba.height(); ++y)
    result.pixels.append(reinterpret_cast<const char*>(rgba.constScanLine(y)), rowBytes);
  return result;
}

void registerShellTypes() {
  qDBusRegisterMetaType<ItemImage>();
}

QDBusArgument& operator<<(QDBusArgument& argument, const ItemImage& image) {
  argument.beginStructure();
  argument << image.width << image.height << image.pixels;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ItemImage& image) {
  argument.beginStructure();
  argument >> image.width >> image.height >> image.pixels;
  argument.endStructure();
  return argument;
}

}  // namespace pellmor::gnome
