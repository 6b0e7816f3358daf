#include "Backends/StatusNotifier/DBusMenuAdaptor.h"

#include <utility>

namespace pellmor::sni {
namespace {

constexpr int rootId = 0;
// A host sends one event per user action; a group far larger is no user's and is not run.
constexpr qsizetype maximumEventsPerGroup = 16;
// Hosts ask about the few ids and properties a menu has; a request far larger is refused whole.
constexpr qsizetype maximumRequestCount = 256;
const QString invalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString limitsExceeded = QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded");

// Entry ids start at 1; the root is 0.
int indexOf(int id) {
  return id - 1;
}

QVariantMap selected(const QVariantMap& all, const QStringList& names) {
  // An empty list of names asks for every property.
  if (names.isEmpty()) return all;
  QVariantMap chosen;
  for (const QString& name : names) {
    if (all.contains(name)) chosen.insert(name, all.value(name));
  }
  return chosen;
}

}  // namespace

DBusMenuAdaptor::DBusMenuAdaptor(DBusMenuObject& parent, std::function<void(int index)> entryClicked)
    : QDBusAbstractAdaptor(&parent), object_(parent), entryClicked_(std::move(entryClicked)) {}

void DBusMenuAdaptor::refuse(const QString& error, const QString& message) {
  if (object_.calledFromDBus()) object_.sendErrorReply(error, message);
}

void DBusMenuAdaptor::setEntries(const QStringList& titles) {
  if (titles == titles_) return;
  titles_ = titles;
  ++revision_;
  emit LayoutUpdated(revision_, rootId);
}

bool DBusMenuAdaptor::isEntry(int id) const {
  return id >= 1 && id <= titles_.size();
}

QVariantMap DBusMenuAdaptor::propertiesOf(int id, const QStringList& names) const {
  QVariantMap all;
  if (id == rootId) {
    all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
  } else if (isEntry(id)) {
    all.insert(QStringLiteral("label"), titles_.at(indexOf(id)));
    all.insert(QStringLiteral("enabled"), true);
    all.insert(QStringLiteral("visible"), true);
  }
  return selected(all, names);
}

DBusMenuLayoutItem DBusMenuAdaptor::layoutOf(int id, int depth, const QStringList& names) const {
  DBusMenuLayoutItem item{id, propertiesOf(id, names), {}};
  // A negative depth asks for the whole tree, 0 for the node alone.
  if (id == rootId && depth != 0) {
    for (int entry = 1; entry <= titles_.size(); ++entry)
      item.children.push_back(layoutOf(entry, depth > 0 ? depth - 1 : depth, names));
  }
  return item;
}

bool DBusMenuAdaptor::refusedAsTooLarge(qsizetype count) {
  if (count <= maximumRequestCount) return false;
  refuse(limitsExceeded, QStringLiteral("too many ids or properties"));
  return true;
}

uint DBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                DBusMenuLayoutItem& layout) {
  if (refusedAsTooLarge(propertyNames.size())) return revision_;
  if (!isKnown(parentId)) {
    refuse(invalidArgs, QStringLiteral("no such menu item"));
    return revision_;
  }
  layout = layoutOf(parentId, recursionDepth, propertyNames);
  return revision_;
}

DBusMenuItemPropertiesList DBusMenuAdaptor::GetGroupProperties(const QList<int>& ids,
                                                               const QStringList& propertyNames) {
  DBusMenuItemPropertiesList found;
  if (refusedAsTooLarge(ids.size()) || refusedAsTooLarge(propertyNames.size())) return found;
  // Each item once, however often it is asked for; no ids at all ask for every item.
  for (int id = rootId; id <= titles_.size(); ++id) {
    if (ids.isEmpty() || ids.contains(id)) found.push_back({id, propertiesOf(id, propertyNames)});
  }
  return found;
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString& name) {
  const QVariant value = propertiesOf(id, {}).value(name);
  // A variant must hold a value to be sent; an unknown item or property gets an error instead.
  if (!value.isValid()) {
    refuse(invalidArgs, QStringLiteral("no such menu item or property"));
    return QDBusVariant(0);
  }
  return QDBusVariant(value);
}

void DBusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant& /*data*/,
                            uint /*timestamp*/) {
  if (!isKnown(id)) return refuse(invalidArgs, QStringLiteral("no such menu item"));
  deliver(id, eventId);
}

QList<int> DBusMenuAdaptor::EventGroup(const DBusMenuEventList& events) {
  QList<int> unknown;
  if (events.size() > maximumEventsPerGroup) {
    for (const DBusMenuEvent& event : events)
      unknown.push_back(event.id);
    return unknown;
  }
  for (const DBusMenuEvent& event : events) {
    if (isKnown(event.id)) {
      deliver(event.id, event.eventId);
    } else {
      unknown.push_back(event.id);
    }
  }
  return unknown;
}

bool DBusMenuAdaptor::AboutToShow(int id) {
  if (!isKnown(id)) refuse(invalidArgs, QStringLiteral("no such menu item"));
  return false;  // the layout is always current
}

QList<int> DBusMenuAdaptor::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
  if (refusedAsTooLarge(ids.size())) return {};
  for (int id : ids) {
    if (!isKnown(id)) idErrors.push_back(id);
  }
  return {};
}

void DBusMenuAdaptor::deliver(int id, const QString& eventId) {
  if (eventId == QLatin1String("clicked") && isEntry(id) && entryClicked_) entryClicked_(indexOf(id));
}

}  // namespace pellmor::sni
