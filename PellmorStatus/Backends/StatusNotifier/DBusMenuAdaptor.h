#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusVariant>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "Backends/StatusNotifier/DBusTypes.h"

namespace pellmor::sni {

// The object the menu is served at. QtDBus gives the request being answered to an adaptor's parent, so the
// parent is where an adaptor can send an error reply from.
class DBusMenuObject final : public QObject, public QDBusContext {
  Q_OBJECT
};

// The item's menu on the bus (com.canonical.dbusmenu, version 3): a flat list of entries under the root,
// each a plain clickable label. Any bus client can call it, so every request is bounded and a question
// about an id or property the menu does not have gets an error reply.
class DBusMenuAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
  Q_PROPERTY(uint Version READ version)
  Q_PROPERTY(QString TextDirection READ textDirection)
  Q_PROPERTY(QString Status READ status)
  Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

 public:
  // Called with the index of the entry a host reports as clicked.
  DBusMenuAdaptor(DBusMenuObject& parent, std::function<void(int index)> entryClicked);

  // Replaces the entries; hosts are told with a new layout revision only when the titles changed.
  void setEntries(const QStringList& titles);

  uint version() const { return 3; }
  QString textDirection() const { return QStringLiteral("ltr"); }
  QString status() const { return QStringLiteral("normal"); }
  QStringList iconThemePath() const { return {}; }

 public Q_SLOTS:
  uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                 pellmor::sni::DBusMenuLayoutItem& layout);
  pellmor::sni::DBusMenuItemPropertiesList GetGroupProperties(const QList<int>& ids,
                                                              const QStringList& propertyNames);
  QDBusVariant GetProperty(int id, const QString& name);
  void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
  QList<int> EventGroup(const pellmor::sni::DBusMenuEventList& events);
  bool AboutToShow(int id);
  QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

 Q_SIGNALS:
  void ItemsPropertiesUpdated(const pellmor::sni::DBusMenuItemPropertiesList& updatedProps,
                              const pellmor::sni::DBusMenuItemRemovedPropertiesList& removedProps);
  void LayoutUpdated(uint revision, int parent);
  void ItemActivationRequested(int id, uint timestamp);

 private:
  bool isEntry(int id) const;
  bool isKnown(int id) const { return id == 0 || isEntry(id); }
  // Sends an error reply when the request asks for more than any host does; true if it did.
  bool refusedAsTooLarge(qsizetype count);
  QVariantMap propertiesOf(int id, const QStringList& names) const;
  DBusMenuLayoutItem layoutOf(int id, int depth, const QStringList& names) const;
  void deliver(int id, const QString& eventId);

  // Sends an error reply to the request being answered, if it came over the bus.
  void refuse(const QString& error, const QString& message);

  DBusMenuObject& object_;
  std::function<void(int)> entryClicked_;
  QStringList titles_;
  uint revision_ = 1;
};

}  // namespace pellmor::sni
