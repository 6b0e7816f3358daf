#pragma once

#include "Backends/BackendLayer.h"

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QImage;

namespace pellmor::sni {

// One entry of IconPixmap (StatusNotifierItem specification): width, height and ARGB32 pixels in network
// byte order, row by row.
struct IconPixmap {
  int width = 0;
  int height = 0;
  QByteArray bytes;
  friend bool operator==(const IconPixmap&, const IconPixmap&) = default;
};
using IconPixmapList = QList<IconPixmap>;

// Any image as an IconPixmap entry.
IconPixmap iconPixmapFrom(const QImage& image);

// ToolTip: icon name, icon pixmaps, title, description.
struct ToolTip {
  QString iconName;
  IconPixmapList iconPixmaps;
  QString title;
  QString description;
  friend bool operator==(const ToolTip&, const ToolTip&) = default;
};

// com.canonical.dbusmenu: one node of the menu layout, (ia{sv}av), children wrapped in variants.
struct DBusMenuLayoutItem {
  int id = 0;
  QVariantMap properties;
  QList<DBusMenuLayoutItem> children;
};

// com.canonical.dbusmenu: an item's properties, (ia{sv}).
struct DBusMenuItemProperties {
  int id = 0;
  QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

// com.canonical.dbusmenu: names of properties removed from an item, (ias).
struct DBusMenuItemRemovedProperties {
  int id = 0;
  QStringList names;
};
using DBusMenuItemRemovedPropertiesList = QList<DBusMenuItemRemovedProperties>;

// com.canonical.dbusmenu: one event of EventGroup, (isvu).
struct DBusMenuEvent {
  int id = 0;
  QString eventId;
  QDBusVariant data;
  uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// Registers every type above with Qt's meta-type system and QtDBus; safe to call more than once.
void registerDBusTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const IconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, IconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const ToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, ToolTip& toolTip);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemRemovedProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemRemovedProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

}  // namespace pellmor::sni

Q_DECLARE_METATYPE(pellmor::sni::IconPixmap)
Q_DECLARE_METATYPE(pellmor::sni::ToolTip)
Q_DECLARE_METATYPE(pellmor::sni::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(pellmor::sni::DBusMenuItemProperties)
Q_DECLARE_METATYPE(pellmor::sni::DBusMenuItemRemovedProperties)
Q_DECLARE_METATYPE(pellmor::sni::DBusMenuEvent)
