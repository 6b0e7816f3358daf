#include "Backends/StatusNotifier/StatusNotifierItemAdaptor.h"

#include "Backends/StatusNotifier/StatusNotifierItem.h"

namespace pellmor::sni {

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem& item)
    : QDBusAbstractAdaptor(&item), item_(item) {}

QString StatusNotifierItemAdaptor::category() const {
  return QStringLiteral("ApplicationStatus");
}

QString StatusNotifierItemAdaptor::id() const {
  return QStringLiteral("PellmorStatus");
}

QString StatusNotifierItemAdaptor::title() const {
  return item_.presentation().title;
}

QString StatusNotifierItemAdaptor::status() const {
  return QStringLiteral("Active");
}

int StatusNotifierItemAdaptor::windowId() const {
  return 0;  // the item has no window
}

QString StatusNotifierItemAdaptor::iconThemePath() const {
  return {};
}

QDBusObjectPath StatusNotifierItemAdaptor::menu() const {
  return QDBusObjectPath(QStringLiteral("/MenuBar"));
}

bool StatusNotifierItemAdaptor::itemIsMenu() const {
  return false;  // a left click activates; the menu is on the right button
}

QString StatusNotifierItemAdaptor::iconName() const {
  return {};  // the icon is drawn, not themed
}

IconPixmapList StatusNotifierItemAdaptor::iconPixmap() const {
  return item_.iconToSend();
}

QString StatusNotifierItemAdaptor::overlayIconName() const {
  return {};
}

IconPixmapList StatusNotifierItemAdaptor::overlayIconPixmap() const {
  return {};
}

QString StatusNotifierItemAdaptor::attentionIconName() const {
  return {};
}

IconPixmapList StatusNotifierItemAdaptor::attentionIconPixmap() const {
  return {};
}

QString StatusNotifierItemAdaptor::attentionMovieName() const {
  return {};
}

ToolTip StatusNotifierItemAdaptor::toolTip() const {
  return item_.presentation().toolTip;
}

QString StatusNotifierItemAdaptor::xAyatanaLabel() const {
  return item_.presentation().label;
}

QString StatusNotifierItemAdaptor::xAyatanaLabelGuide() const {
  return item_.presentation().labelGuide;
}

void StatusNotifierItemAdaptor::ContextMenu(int /*x*/, int /*y*/) {
  // The menu is offered through the Menu property; with no window there is nothing to pop up here.
}

void StatusNotifierItemAdaptor::Activate(int /*x*/, int /*y*/) {
  item_.activate();
}

void StatusNotifierItemAdaptor::SecondaryActivate(int /*x*/, int /*y*/) {
  item_.secondaryActivate();
}

void StatusNotifierItemAdaptor::Scroll(int /*delta*/, const QString& /*orientation*/) {}

}  // namespace pellmor::sni
