#pragma once

#include "Backends/BackendLayer.h"

#include <QByteArray>
#include <QDBusArgument>
#include <QMetaType>
#include <QString>
#include <QStringList>

class QImage;

namespace pellmor::gnome {

// The picture the extension shows, (iiay): width and height in screen pixels, then the rows top to bottom,
// four bytes a pixel in the order red, green, blue, alpha (not premultiplied), with no padding.
struct ItemImage {
  int width = 0;
  int height = 0;
  QByteArray pixels;
  friend bool operator==(const ItemImage&, const ItemImage&) = default;
};

ItemImage itemImageFrom(const QImage& image);

// What the item shows the extension.
struct ShellPresentation {
  ItemImage image;
  QString description;  // read out by screen readers
  QStringList menuEntries;
  friend bool operator==(const ShellPresentation&, const ShellPresentation&) = default;
};

// Registers ItemImage with Qt's meta-type system and QtDBus; safe to call more than once.
void registerShellTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const ItemImage& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, ItemImage& image);

}  // namespace pellmor::gnome

Q_DECLARE_METATYPE(pellmor::gnome::ItemImage)
