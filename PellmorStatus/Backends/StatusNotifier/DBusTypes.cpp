#include "Backends/StatusNotifier/DBusTypes.h"

#include <QDBusMetaType>
#include <QImage>
#include <QtEndian>
#include <cstring>

namespace pellmor::sni {
namespace {

constexpr int bytesPerPixel = 4;

qsizetype byteCountOf(int width, int height) {
  return static_cast<qsizetype>(width) * height * bytesPerPixel;
}

}  // namespace

IconPixmap iconPixmapFrom(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  IconPixmap pixmap{argb.width(), argb.height(), QByteArray(byteCountOf(argb.width(), argb.height()), '\0')};
  auto* out = reinterpret_cast<uchar*>(pixmap.bytes.data());
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x, out += bytesPerPixel)
      qToBigEndian(row[x], out);
  }
  return pixmap;
}

void registerDBusTypes() {
  // Under the names the adaptors' signatures spell: QtDBus looks a member's types up by those names and
  // leaves a member whose names it cannot resolve off the bus.
  qRegisterMetaType<IconPixmapList>("pellmor::sni::IconPixmapList");
  qRegisterMetaType<DBusMenuItemPropertiesList>("pellmor::sni::DBusMenuItemPropertiesList");
  qRegisterMetaType<DBusMenuItemRemovedPropertiesList>("pellmor::sni::DBusMenuItemRemovedPropertiesList");
  qRegisterMetaType<DBusMenuEventList>("pellmor::sni::DBusMenuEventList");
  qDBusRegisterMetaType<IconPixmap>();
  qDBusRegisterMetaType<IconPixmapList>();
  qDBusRegisterMetaType<ToolTip>();
  qDBusRegisterMetaType<DBusMenuLayoutItem>();
  qDBusRegisterMetaType<DBusMenuItemProperties>();
  qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
  qDBusRegisterMetaType<DBusMenuItemRemovedProperties>();
  qDBusRegisterMetaType<DBusMenuItemRemovedPropertiesList>();
  qDBusRegisterMetaType<DBusMenuEvent>();
  qDBusRegisterMetaType<DBusMenuEventList>();
}

QDBusArgument& operator<<(QDBusArgument& argument, const IconPixmap& pixmap) {
  argument.beginStructure();
  argument << pixmap.width << pixmap.height << pixmap.bytes;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, IconPixmap& pixmap) {
  argument.beginStructure();
  argument >> pixmap.width >> pixmap.height >> pixmap.bytes;
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const ToolTip& toolTip) {
  argument.beginStructure();
  argument << toolTip.iconName << toolTip.iconPixmaps << toolTip.title << toolTip.description;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ToolTip& toolTip) {
  argument.beginStructure();
  argument >> toolTip.iconName >> toolTip.iconPixmaps >> toolTip.title >> toolTip.description;
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item) {
  argument.beginStructure();
  argument << item.id << item.properties;
  // The layout is recursive: each child travels as a variant that holds a whole node.
  argument.beginArray(qMetaTypeId<QDBusVariant>());
  for (const DBusMenuLayoutItem& child : item.children)
    argument << QDBusVariant(QVariant::fromValue(child));
  argument.endArray();
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item) {
  argument.beginStructure();
  argument >> item.id >> item.properties;
  item.children.clear();
  argument.beginArray();
  while (!argument.atEnd()) {
    QDBusVariant wrapped;
    argument >> wrapped;
    const QVariant child = wrapped.variant();
    if (child.canConvert<QDBusArgument>()) {
      DBusMenuLayoutItem node;
      child.value<QDBusArgument>() >> node;
      item.children.push_back(std::move(node));
    }
  }
  argument.endArray();
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item) {
  argument.beginStructure();
  argument << item.id << item.properties;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item) {
  argument.beginStructure();
  argument >> item.id >> item.properties;
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemRemovedProperties& item) {
  argument.beginStructure();
  argument << item.id << item.names;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemRemovedProperties& item) {
  argument.beginStructure();
  argument >> item.id >> item.names;
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event) {
  argument.beginStructure();
  argument << event.id << event.eventId << event.data << event.timestamp;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event) {
  argument.beginStructure();
  argument >> event.id >> event.eventId >> event.data >> event.timestamp;
  argument.endStructure();
  return argument;
}

}  // namespace pellmor::sni
