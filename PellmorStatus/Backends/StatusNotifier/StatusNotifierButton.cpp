#include "Backends/StatusNotifier/StatusNotifierButton.h"

#include <utility>
#include <vector>

#include "Backends/Qt/QtHostingView.h"
#include "Backends/StatusNotifier/ItemPresentation.h"

namespace pellmor::sni {

StatusNotifierButton::StatusNotifierButton(QDBusConnection bus, StatusNotifierWatcherTracker& watcher)
    : item_(std::move(bus), watcher,
            StatusNotifierItem::Actions{
                .activate =
                    [this] {
                      if (action_) action_();
                    },
                .secondaryActivate = [this] { activateContent(platform::HitTarget::timerButton); },
                .menuEntryClicked = [this](int index) { chooseMenuEntry(index); },
            }) {}

StatusNotifierButton::~StatusNotifierButton() = default;

void StatusNotifierButton::addSubview(platform::View& child) {
  auto* host = dynamic_cast<qt::QtHostingView*>(&child);
  if (host == nullptr || !host->content()) return;
  content_ = host->content();
  host->addDisplayObserver([this](const platform::RenderDescription&) { refresh(); });
  setPublished(publishWanted_);
}

void StatusNotifierButton::setPublished(bool published) {
  publishWanted_ = published;
  item_.setPublished(published && content_);
}

void StatusNotifierButton::refresh() {
  if (content_) item_.show(presentationOf(*content_));
}

void StatusNotifierButton::chooseMenuEntry(int index) {
  if (!content_) return;
  const std::vector<platform::MenuEntry> entries = content_->menu();
  // The host names the entry by its place in the menu it was shown; the menu never changes its entries.
  if (index >= 0 && static_cast<std::size_t>(index) < entries.size()) activateContent(entries[index].target);
}

void StatusNotifierButton::activateContent(platform::HitTarget target) {
  if (content_) content_->activate(target);
}

}  // namespace pellmor::sni
