#include "Backends/StatusNotifier/StatusNotifierButton.h"

#include <utility>

#include "Backends/Qt/QtHostingView.h"
#include "Backends/StatusNotifier/ItemPresentation.h"
#include "Backends/StatusNotifier/StatusNotifierWatcherTracker.h"

namespace pellmor::sni {

StatusNotifierButton::StatusNotifierButton(StatusNotifierWatcherTracker& watcher)
    : watcher_(watcher),
      item_(watcher, StatusNotifierItem::Actions{
                         .activate = clicks_.limited([this] {
                           if (action_) action_();
                         }),
                         .secondaryActivate =
                             clicks_.limited([this] { activateContent(platform::HitTarget::timerButton); }),
                         .menuEntryClicked = clicks_.limited(
                             [this](int index) { qt::activateMenuEntry(content_.get(), index); }),
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
