#include "Backends/Qt/PictureBacklog.h"

#include <cstdio>
#include <utility>

#include "Backends/Qt/ServedConnection.h"

namespace pellmor::qt {
namespace {

constexpr int drainCheckMilliseconds = 500;

}  // namespace

PictureBacklog::PictureBacklog(const ServedConnection& connection, const char* picture,
                               std::function<void()> offerAnew)
    : connection_(connection), picture_(picture), offerAnew_(std::move(offerAnew)) {
  drainCheck_.setInterval(drainCheckMilliseconds);
  QObject::connect(&drainCheck_, &QTimer::timeout, [this] { checkDrained(); });
}

bool PictureBacklog::admits() {
  if (drainCheck_.isActive()) return false;
  if (!queueIsLong()) return true;
  std::fprintf(
      stderr,
      "PellmorStatus: the session bus is not taking the item's messages; %s is sent empty until it does\n",
      picture_);
  std::fflush(stderr);
  drainCheck_.start();
  return false;
}

bool PictureBacklog::queueIsLong() const {
  const auto& bus = connection_.bus();
  return bus && bus->outgoingBytes() > limitBytes;
}

void PictureBacklog::checkDrained() {
  if (!connection_.bus()) return drainCheck_.stop();  // a new connection is read afresh
  if (queueIsLong()) return;
  drainCheck_.stop();
  offerAnew_();
}

}  // namespace pellmor::qt
