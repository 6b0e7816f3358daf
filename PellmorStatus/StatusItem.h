#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ElapsedTimeLabel.h"
#include "FIFOManager.h"
#include "Platform/Clock.h"
#include "Platform/Geometry.h"
#include "Platform/HostedContent.h"
#include "Platform/MainThread.h"
#include "Platform/TextMetrics.h"
#include "Platform/Ticker.h"
#include "Support/Signal.h"

namespace pellmor {

using SizeSubject = Signal<platform::Size>;

// The status item's content: a timer button with a play, pause or stop image beside a coloured segment
// that shows "Sign In", "-:--" or the running total. Rebuilt from the channel after every change.
class StatusItem : public platform::HostedContent {
 public:
  struct Environment {
    // The channel, fetched when the content is installed (in the program: FIFOManager::shared()).
    std::function<FIFOManager&()> channel{};
    platform::MainThread* mainThread = nullptr;
    const platform::Clock* clock = nullptr;
    platform::TickerFactory* tickers = nullptr;
    // The metrics of the font the backend draws with; the forms are laid out with them.
    const platform::TextMetrics* textMetrics = nullptr;
    // Localisation lookup with the text as key; the default returns the text unchanged.
    std::function<std::string(std::string_view)> translate{};
  };

  StatusItem(Environment environment, std::shared_ptr<SizeSubject> sizePassthrough);
  ~StatusItem() override;
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  // platform::HostedContent. install() takes the channel and builds the content; its size is published on
  // the main thread's next pass and then whenever it changes. After change signals of the channel the
  // content is rebuilt once on the main thread, however many signals arrived before that pass.
  void install(std::function<void()> onDisplayChange) override;
  // render() is the full row; render(cell, pixelRatio) the form laid out for the cell (StatusItemLayout.h).
  platform::RenderDescription render() const override;
  platform::RenderDescription render(platform::Size cell, double pixelRatio) const override;
  platform::HitTarget hitTest(platform::Point point) const override;
  platform::HitTarget hitTest(platform::Point point, platform::Size cell, double pixelRatio) const override;
  // Clicks on the timer image run toggleTimerAction(), on the text or its background
  // toggleMainAppAction(); elsewhere nothing runs and the answer is false.
  bool click(platform::Point point) override;
  bool click(platform::Point point, platform::Size cell, double pixelRatio) override;
  // Both actions, titled through the translation hook; activate() runs the action of an entry's target.
  std::vector<platform::MenuEntry> menu() const override;
  void activate(platform::HitTarget target) override;

  // The two button actions: a diagnostic line, then the message to the main application.
  void toggleTimerAction();
  void toggleMainAppAction();

  // The elapsed time label while the trailing segment shows one.
  const ElapsedTimeLabel* label() const;

 private:
  bool run(platform::HitTarget target);

  class Impl;
  // Shared so that a rebuild already posted to the main thread can tell that the content is gone.
  std::shared_ptr<Impl> impl_;
};

}  // namespace pellmor
