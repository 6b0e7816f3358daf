#include "Backends/GnomeShell/ShellItemAdaptor.h"

#include "Backends/GnomeShell/ShellItem.h"

namespace pellmor::gnome {

ShellItemAdaptor::ShellItemAdaptor(ShellItem& item) : QDBusAbstractAdaptor(&item), item_(item) {}

ItemImage ShellItemAdaptor::image() const {
  return item_.presentation().image;
}

QString ShellItemAdaptor::description() const {
  return item_.presentation().description;
}

QStringList ShellItemAdaptor::menuEntries() const {
  return item_.presentation().menuEntries;
}

void ShellItemAdaptor::Activate(int x, int y) {
  if (item_.actions().activate) item_.actions().activate(x, y);
}

void ShellItemAdaptor::SecondaryActivate() {
  if (item_.actions().secondaryActivate) item_.actions().secondaryActivate();
}

void ShellItemAdaptor::ActivateMenuEntry(int index) {
  if (item_.actions().menuEntryClicked) item_.actions().menuEntryClicked(index);
}

}  // namespace pellmor::gnome
