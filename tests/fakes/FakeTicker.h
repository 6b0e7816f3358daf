#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "Platform/Ticker.h"

namespace pellmor::testing {

// Tickers that fire only when the test says so. A handle's destruction stops its ticker.
class FakeTickerFactory : public platform::TickerFactory {
 public:
  std::unique_ptr<platform::Ticker> startRepeating(std::chrono::milliseconds interval,
                                                   std::function<void()> onTick) override {
    const std::uint64_t id = nextId_++;
    running_->emplace(id, Running{interval, std::make_shared<std::function<void()>>(std::move(onTick))});
    ++started_;
    return std::make_unique<Handle>(running_, id);
  }

  // One tick of every running ticker, in the order they were started.
  void tick() {
    std::vector<std::uint64_t> ids;
    for (const auto& entry : *running_)
      ids.push_back(entry.first);
    for (const std::uint64_t id : ids) {
      const auto found = running_->find(id);
      if (found == running_->end()) continue;
      const auto onTick = found->second.onTick;
      (*onTick)();
    }
  }

  std::size_t runningCount() const { return running_->size(); }
  int startedCount() const { return started_; }
  std::vector<std::chrono::milliseconds> runningIntervals() const {
    std::vector<std::chrono::milliseconds> intervals;
    for (const auto& entry : *running_)
      intervals.push_back(entry.second.interval);
    return intervals;
  }

 private:
  struct Running {
    std::chrono::milliseconds interval;
    std::shared_ptr<std::function<void()>> onTick;
  };
  using Table = std::map<std::uint64_t, Running>;

  class Handle : public platform::Ticker {
   public:
    Handle(std::weak_ptr<Table> table, std::uint64_t id) : table_(std::move(table)), id_(id) {}
    ~Handle() override {
      if (auto table = table_.lock()) table->erase(id_);
    }

   private:
    std::weak_ptr<Table> table_;
    std::uint64_t id_;
  };

  std::shared_ptr<Table> running_ = std::make_shared<Table>();
  std::uint64_t nextId_ = 1;
  int started_ = 0;
};

}  // namespace pellmor::testing
