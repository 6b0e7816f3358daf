#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ElapsedTimeLabel.h"
#include "FIFOManager.h"
#include "Platform/Clock.h"
#include "Platform/Geometry.h"
#include "Platform/HostedContent.h"
#include "Platform/MainThread.h"
#include "Platform/Ticker.h"
#include "Support/Signal.h"

namespace pellmor {

using SizeSubject = Signal<platform::Size>;

// The status item's content: a timer button with a play, pause or stop image beside a coloured segment
// that shows "Sign In", "-:--" or the running total. Rebuilt from the channel after every change.
class StatusItem : public platform::HostedContent {
 public:
  struct Environment {
    // The channel, fetched when the content is installed. Defaults to FIFOManager::shared().
    std::function<FIFOManager&()> channel;
    platform::MainThread* mainThread = nullptr;
    const platform::Clock* clock = nullptr;
    platform::TickerFactory* tickers = nullptr;
    // Localisation lookup with the text as key; the default returns the text unchanged.
    std::function<std::string(std::string_view)> translate;
  };

  StatusItem(Environment environment, std::shared_ptr<SizeSubject> sizePassthrough);
  ~StatusItem() override;

  // platform::HostedContent
  void install(std::function<void()> onDisplayChange) override;
  platform::RenderDescription render() const override;
  platform::HitTarget hitTest(platform::Point point) const override;
  bool click(platform::Point point) override;

  // The two button actions.
  void toggleTimerAction();
  void toggleMainAppAction();

  // The elapsed time label while the trailing segment shows one.
  const ElapsedTimeLabel* label() const { return label_.get(); }

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
  std::unique_ptr<ElapsedTimeLabel> label_;
};

}  // namespace pellmor
