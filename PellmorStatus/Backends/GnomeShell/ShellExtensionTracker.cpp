#include "Backends/GnomeShell/ShellExtensionTracker.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <algorithm>
#include <chrono>
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
const QString daemonService = QStringLiteral("org.freedesktop.DBus");
// A shell or daemon that hangs must not hold the item back for long.
constexpr int callTimeoutMilliseconds = 5000;
// A lost bus is tried again soon, then less often: a session without a bus costs a wake-up now and then.
constexpr std::chrono::milliseconds firstRetry{500};
constexpr std::chrono::milliseconds longestRetry{30'000};

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

ShellExtensionTracker::ShellExtensionTracker() : connector_(QStringLiteral("gnome")) {
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] { connectToBus(); });
  connectToBus();
}

ShellExtensionTracker::~ShellExtensionTracker() = default;

void ShellExtensionTracker::connectToBus() {
  connector_.open([this](const QDBusConnection& connection) {
    if (connection.isConnected()) {
      connectedTo(connection);
      return;
    }
    changeState([this] { reachable_ = false; });
    const auto wait = std::min(longestRetry, firstRetry * (1 << std::min(failedAttempts_++, 6)));
    retry_.start(wait);
  });
}

void ShellExtensionTracker::connectedTo(const QDBusConnection& connection) {
  failedAttempts_ = 0;
  bus_ = connection;
  disconnection_ = std::make_unique<qt::DisconnectionWatch>(connection, [this] { lost(); });
  serviceWatcher_ = std::make_unique<QDBusServiceWatcher>(extensionService, *bus_,
                                                          QDBusServiceWatcher::WatchForOwnerChange);
  connect(serviceWatcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) { ownerChangedTo(newOwner); });
  // From any sender, told apart by its unique name in the slot: QtDBus would ask the daemon for the
  // well-known name's owner, and wait for the answer, to filter by it.
  bus_->connect(QString(), extensionPath, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
  changeState([this] { reachable_ = true; });
  askForOwner();
}

void ShellExtensionTracker::lost() {
  changeState([this] {
    serviceWatcher_.reset();
    disconnection_.reset();
    connector_.close(*bus_);
    bus_.reset();
    owner_.clear();
    panel_ = ShellPanel{};
    reachable_ = false;
  });
  emit panelChanged();
  retry_.start(firstRetry);
}

void ShellExtensionTracker::askForOwner() {
  QDBusMessage call = QDBusMessage::createMethodCall(daemonService, QStringLiteral("/org/freedesktop/DBus"),
                                                     daemonService, QStringLiteral("GetNameOwner"));
  call << extensionService;
  auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, callTimeoutMilliseconds), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    const QDBusPendingReply<QString> reply = *done;
    // The service watcher may have told already; an owner it reported wins over an older answer.
    if (bus_ && owner_.isEmpty() && reply.isValid()) ownerChangedTo(reply.value());
  });
}

void ShellExtensionTracker::ownerChangedTo(const QString& owner) {
  if (owner == owner_) return;
  changeState([this, &owner] {
    owner_ = owner;
    // A new shell has a panel of its own; the old one's figures no longer hold.
    panel_ = ShellPanel{};
  });
  if (!owner_.isEmpty()) askForProperties();
  emit panelChanged();
}

void ShellExtensionTracker::askForProperties() {
  QDBusMessage call =
      QDBusMessage::createMethodCall(owner_, extensionPath, propertiesInterface, QStringLiteral("GetAll"));
  call << extensionInterface;
  auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, callTimeoutMilliseconds), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this,
          [this, owner = owner_](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const QDBusPendingReply<QVariantMap> reply = *done;
            if (owner != owner_ || reply.isError()) return;
            apply(reply.value());
          });
}

void ShellExtensionTracker::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                              const QStringList&, const QDBusMessage& message) {
  if (interface == extensionInterface && available() && message.service() == owner_) apply(changed);
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
  panel_ = panel;
  emit panelChanged();
}

void ShellExtensionTracker::changeState(const std::function<void()>& change) {
  const auto before = std::tuple(reachable_, available());
  change();
  if (std::tuple(reachable_, available()) != before) emit availabilityChanged();
}

}  // namespace pellmor::gnome
