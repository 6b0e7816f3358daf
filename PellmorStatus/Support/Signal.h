#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace pellmor {

// Ends its subscription when destroyed or reset. Move-only.
class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
  Subscription& operator=(Subscription&& other) noexcept {
    if (this != &other) {
      reset();
      cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
  }
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;
  ~Subscription() { reset(); }

  void reset() {
    if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
  }
  explicit operator bool() const { return static_cast<bool>(cancel_); }

 private:
  std::function<void()> cancel_;
};

// A publish/subscribe subject that keeps no last value: send() calls every current subscriber,
// synchronously, in subscription order. Single-threaded: used on the main thread only.
// A subscriber may cancel any subscription, including its own, or subscribe anew while being called;
// a subscriber added during a send is first called by the next send.
template <typename... Args>
class Signal {
 public:
  Signal() = default;
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  [[nodiscard]] Subscription subscribe(std::function<void(Args...)> callback) {
    const std::uint64_t id = nextId_++;
    slots_->push_back(Slot{id, std::make_shared<std::function<void(Args...)>>(std::move(callback))});
    std::weak_ptr<std::vector<Slot>> slots = slots_;
    return Subscription([slots, id] {
      if (auto alive = slots.lock()) std::erase_if(*alive, [id](const Slot& slot) { return slot.id == id; });
    });
  }

  void send(Args... args) const {
    // Iterate over a snapshot so callbacks may change the subscriber list; a cancelled subscriber that
    // has not been called yet in this send is skipped.
    const std::vector<Slot> snapshot = *slots_;
    for (const Slot& slot : snapshot) {
      if (isSubscribed(slot.id)) (*slot.callback)(args...);
    }
  }

 private:
  struct Slot {
    std::uint64_t id;
    std::shared_ptr<std::function<void(Args...)>> callback;
  };

  bool isSubscribed(std::uint64_t id) const {
    for (const Slot& slot : *slots_) {
      if (slot.id == id) return true;
    }
    return false;
  }

  std::shared_ptr<std::vector<Slot>> slots_ = std::make_shared<std::vector<Slot>>();
  std::uint64_t nextId_ = 1;
};

}  // namespace pellmor
