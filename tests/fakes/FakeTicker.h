#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "Platform/Ticker.h"

namespace pellmor::testing {

// Tickers that fire only when the test says so. A handle's destruction stops its ticker.
class FakeTickerFactory : public platform::TickerFactory {
 public:
  std::unique_ptr<platform::Ticker> startRepeating(std::chrono::milliseconds interval,
                                                   std::function<void()> onTick) override {
    tickers_.push_back(std::make_shared<Entry>(interval, std::move(onTick)));
    return std::make_unique<Handle>(tickers_.back());
  }

  // One tick of every running ticker, in the order they were started; one stopped meanwhile is skipped.
  void tick() {
    for (const auto& entry : std::vector(tickers_))  // copies survive stopping themselves
      if (entry->running) entry->onTick();
  }

  std::size_t runningCount() const {
    return static_cast<std::size_t>(
        std::count_if(tickers_.begin(), tickers_.end(), [](const auto& entry) { return entry->running; }));
  }
  int startedCount() const { return static_cast<int>(tickers_.size()); }
  std::chrono::milliseconds lastInterval() const { return tickers_.back()->interval; }

 private:
  struct Entry {
    Entry(std::chrono::milliseconds interval, std::function<void()> onTick)
        : interval(interval), onTick(std::move(onTick)) {}
    std::chrono::milliseconds interval;
    std::function<void()> onTick;
    bool running = true;
  };
  struct Handle : platform::Ticker {
    explicit Handle(std::shared_ptr<Entry> entry) : entry(std::move(entry)) {}
    ~Handle() override { entry->running = false; }
    std::shared_ptr<Entry> entry;
  };

  std::vector<std::shared_ptr<Entry>> tickers_;
};

}  // namespace pellmor::testing
