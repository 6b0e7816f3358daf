#include "Backends/GnomeShell/ShellExtensionTracker.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <cstdio>
#include <optional>
#include <tuple>
#include <utility>

namespace pellmor::gnome {
namespace {

const QString extensionService = QStringLiteral("com.pellmor.Status.GnomeShell");
const QString extensionPath = QStringLiteral("/com/pellmor/Status/GnomeShell");
const QString extensionInterface = QStringLiteral("com.pellmor.Status.GnomeShell");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// Bounds of what a top bar can be: larger values would make the companion draw pictures without limit.
constexpr int maxScale = 8;
constexpr int maxPanelHeight = 128 * maxScale;
constexpr int maxCoordinate = 1 << 16;

void refuse(const QString& property, const QString& reason) {
  std::fprintf(stderr, "Ignored the GNOME Shell extension's %s: %s\n", qPrintable(property),
               qPrintable(reason));
  std::fflush(stderr);
}

std::optional<int> intIn(const QString& name, const QVariant& value, int low, int high) {
  if (value.userType() != QMetaType::Int) {
    refuse(name, QStringLiteral("not an integer"));
    return std::nullopt;
  }
  const int number = value.toInt();
  if (number < low || number > high) {
    refuse(name, QStringLiteral("%1 is outside %2 to %3").arg(number).arg(low).arg(high));
    return std::nullopt;
  }
  return number;
}

std::optional<qt::PixelRect> rectangleFrom(const QString& name, const QVariant& value) {
  const auto* argument = static_cast<const QDBusArgument*>(value.constData());
  if (value.userType() != qMetaTypeId<QDBusArgument>() || argument->currentSignature() != "(iiii)") {
    refuse(name, QStringLiteral("not a rectangle (iiii)"));
    return std::nullopt;
  }
  int x = 0, y = 0, width = 0, height = 0;
  argument->beginStructure();
  *argument >> x >> y >> width >> height;
  argument->endStructure();
  const auto inRange = [](int v, int low) { return v >= low && v <= maxCoordinate; };
  if (!inRange(x, -maxCoordinate) || !inRange(y, -maxCoordinate) || !inRange(width, 0) ||
      !inRange(height, 0)) {
    refuse(name, QStringLiteral("(%1, %2, %3, %4) is off any screen").arg(x).arg(y).arg(width).arg(height));
    return std::nullopt;
  }
  return qt::PixelRect{static_cast<double>(x), static_cast<double>(y), static_cast<double>(width),
                       static_cast<double>(height)};
}

}  // namespace

ShellExtensionTracker::ShellExtensionTracker()
    : follower_(QStringLiteral("gnome"), extensionService,
                qt::BusNameFollower::Handlers{
                    .connected = [this](const qt::NonBlockingBus& bus) { connectedTo(bus); },
                    .unreachable = [this] { lost(); },
                    .ownerChanged = [this](const QString& owner) { ownerChangedTo(owner); },
                }) {}

ShellExtensionTracker::~ShellExtensionTracker() = default;

void ShellExtensionTracker::connectedTo(const qt::NonBlockingBus& bus) {
  bus.subscribe(extensionPath, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
  changeState([] {});
}

void ShellExtensionTracker::lost() {
  changeState([this] { panel_ = ShellPanel{}; });
  emit panelChanged();
}

void ShellExtensionTracker::ownerChangedTo(const QString& owner) {
  // A new shell has a panel of its own; the old one's figures no longer hold.
  changeState([this] { panel_ = ShellPanel{}; });
  if (!owner.isEmpty()) askForProperties();
  emit panelChanged();
}

void ShellExtensionTracker::askForProperties() {
  QDBusMessage call =
      QDBusMessage::createMethodCall(owner(), extensionPath, propertiesInterface, QStringLiteral("GetAll"));
  call << extensionInterface;
  auto* pending = new QDBusPendingCallWatcher(follower_.bus()->asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this,
          [this, owner = owner()](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const QDBusPendingReply<QVariantMap> reply = *done;
            if (owner != this->owner() || reply.isError()) return;
            apply(reply.value());
          });
}

void ShellExtensionTracker::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                              const QStringList&, const QDBusMessage& message) {
  if (interface == extensionInterface && available() && message.service() == owner()) apply(changed);
}
void ShellExtensionTracker::apply(const QVariantMap& properties) {
  ShellPanel panel = panel_;
  for (auto it = properties.begin(); it != properties.end(); ++it) {
    const QString& name = it.key();
    if (name == QLatin1String("PanelHeight")) {
      panel.height = intIn(name, it.value(), 1, maxPanelHeight).value_or(panel.height);
    } else if (name == QLatin1String("ScaleFactor")) {
      panel.scale = intIn(name, it.value(), 1, maxScale).value_or(panel.scale);
    } else if (name == QLatin1String("PanelFrame")) {
      panel.frame = rectangleFrom(name, it.value()).value_or(panel.frame);
    } else if (name == QLatin1String("ItemFrame")) {
      panel.itemFrame = rectangleFrom(name, it.value()).value_or(panel.itemFrame);
    }
  }
  if (panel == panel_) return;
  panel_ = panel;
  emit panelChanged();
}

void ShellExtensionTracker::changeState(const std::function<void()>& change) {
  change();
  const auto now = std::tuple(busReachable(), available());
  if (now == reported_) return;
  reported_ = now;
  emit availabilityChanged();
}

}  // namespace pellmor::gnome
