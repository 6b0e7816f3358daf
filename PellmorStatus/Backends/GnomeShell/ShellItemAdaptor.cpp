#include "Backends/GnomeShell/ShellItemAdaptor.h"

#include "Backends/GnomeShell/ShellItem.h"

namespace pellmor::gnome {

ShellItemAdaptor::ShellItemAdaptor(ShellItem& item) : QDBusAbstractAdaptor(&item), item_(item) {}

ItemImage ShellItemAdaptor::image() const {
  return item_.imageToSend();
}

QString ShellItemAdaptor::description() const {
  return item_.presentation().description;
}

QStringList ShellItemAdaptor::menuEntries() const {
  return item_.presentation().menuEntries;
}

void ShellItemAdaptor::Activate(int x, int y, const QDBusMessage& message) {
  item_.activate(message.service(), x, y);
}

void ShellItemAdaptor::SecondaryActivate(const QDBusMessage& message) {
  item_.secondaryActivate(message.service());
}

void ShellItemAdaptor::ActivateMenuEntry(int index, const QDBusMessage& message) {
  item_.activateMenuEntry(message.service(), index);
}

}  // namespace pellmor::gnome
