#include "Backends/StatusNotifier/StatusNotifierButton.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "Backends/Qt/QtHostingView.h"
#include "Backends/StatusNotifier/ItemPresentation.h"
#include "Backends/StatusNotifier/StatusNotifierWatcherTracker.h"

namespace pellmor::sni {

bool ClickLimiter::admit(Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - refilled_).count();
  tokens_ = std::min(burst, tokens_ + seconds * refillPerSecond);
  refilled_ = now;
  if (tokens_ >= 1) {
    tokens_ -= 1;
    // A full bucket again means the flood is over: the next one is reported anew.
    if (tokens_ >= burst - 1) dropping_ = false;
    return true;
  }
  if (!dropping_) {
    std::fprintf(stderr, "PellmorStatus: too many clicks from the StatusNotifierItem host; dropping some\n");
    std::fflush(stderr);
    dropping_ = true;
  }
  return false;
}

StatusNotifierButton::StatusNotifierButton(StatusNotifierWatcherTracker& watcher)
    : watcher_(watcher),
      item_(watcher, StatusNotifierItem::Actions{
                         .activate =
                             [this] {
                               if (action_ && admitClick()) action_();
                             },
                         .secondaryActivate =
                             [this] {
                               if (admitClick()) activateContent(platform::HitTarget::timerButton);
                             },
                         .menuEntryClicked =
                             [this](int index) {
                               if (admitClick()) qt::activateMenuEntry(content_.get(), index);
                             },
                     }) {
  // Each host is served what it draws well, so a new host gets a new presentation.
  QObject::connect(&watcher_, &StatusNotifierWatcherTracker::ownerChanged, &item_, [this] { refresh(); });
}

StatusNotifierButton::~StatusNotifierButton() = default;

void StatusNotifierButton::addSubview(platform::View& child) {
  content_ = qt::followContent(child, [this] { refresh(); });
  refresh();
  setPublished(publishWanted_);
}

void StatusNotifierButton::setPublished(bool published) {
  const bool wasWanted = std::exchange(publishWanted_, published);
  // Nothing was drawn while unpublished: the host reads the presentation of now.
  if (published && !wasWanted) refresh();
  item_.setPublished(published && content_);
}

void StatusNotifierButton::refresh() {
  // Unpublished (docked in a tray, say), no host reads the pixmaps: drawing them at every change of text
  // would only start and wake Qt's image threads.
  if (content_ && publishWanted_) item_.show(presentationOf(*content_, watcher_.host()));
}

void StatusNotifierButton::activateContent(platform::HitTarget target) {
  if (content_) content_->activate(target);
}

}  // namespace pellmor::sni
