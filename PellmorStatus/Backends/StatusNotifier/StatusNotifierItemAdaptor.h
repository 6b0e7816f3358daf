#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QString>

#include "Backends/StatusNotifier/DBusTypes.h"

namespace pellmor::sni {

class StatusNotifierItem;

// The item's face on the bus: exactly the org.kde.StatusNotifierItem interface, with the Ayatana label
// extension that GNOME's indicator host reads. Everything is answered by the item that owns the adaptor.
class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
  Q_PROPERTY(QString Category READ category)
  Q_PROPERTY(QString Id READ id)
  Q_PROPERTY(QString Title READ title)
  Q_PROPERTY(QString Status READ status)
  Q_PROPERTY(int WindowId READ windowId)
  Q_PROPERTY(QString IconThemePath READ iconThemePath)
  Q_PROPERTY(QDBusObjectPath Menu READ menu)
  Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
  Q_PROPERTY(QString IconName READ iconName)
  Q_PROPERTY(pellmor::sni::IconPixmapList IconPixmap READ iconPixmap)
  Q_PROPERTY(QString OverlayIconName READ overlayIconName)
  Q_PROPERTY(pellmor::sni::IconPixmapList OverlayIconPixmap READ overlayIconPixmap)
  Q_PROPERTY(QString AttentionIconName READ attentionIconName)
  Q_PROPERTY(pellmor::sni::IconPixmapList AttentionIconPixmap READ attentionIconPixmap)
  Q_PROPERTY(QString AttentionMovieName READ attentionMovieName)
  Q_PROPERTY(pellmor::sni::ToolTip ToolTip READ toolTip)
  Q_PROPERTY(QString XAyatanaLabel READ xAyatanaLabel)
  Q_PROPERTY(QString XAyatanaLabelGuide READ xAyatanaLabelGuide)

 public:
  explicit StatusNotifierItemAdaptor(StatusNotifierItem& item);

  QString category() const;
  QString id() const;
  QString title() const;
  QString status() const;
  int windowId() const;
  QString iconThemePath() const;
  QDBusObjectPath menu() const;
  bool itemIsMenu() const;
  QString iconName() const;
  IconPixmapList iconPixmap() const;
  QString overlayIconName() const;
  IconPixmapList overlayIconPixmap() const;
  QString attentionIconName() const;
  IconPixmapList attentionIconPixmap() const;
  QString attentionMovieName() const;
  ToolTip toolTip() const;
  QString xAyatanaLabel() const;
  QString xAyatanaLabelGuide() const;

 public Q_SLOTS:
  void ContextMenu(int x, int y);
  void Activate(int x, int y);
  void SecondaryActivate(int x, int y);
  void Scroll(int delta, const QString& orientation);

 Q_SIGNALS:
  void NewTitle();
  void NewIcon();
  void NewAttentionIcon();
  void NewOverlayIcon();
  void NewToolTip();
  void NewStatus(const QString& status);
  void XAyatanaNewLabel(const QString& label, const QString& guide);

 private:
  StatusNotifierItem& item_;
};

}  // namespace pellmor::sni
