// The application object on a machine without a display: its event loop runs posted tasks and tickers
// and ends on request or on a termination signal.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "Backends/Headless/HeadlessApplication.h"
#include "Support/TerminationSignals.h"

namespace pellmor {
namespace {

// Records the callbacks and lets each test act once launching has finished.
class RecordingDelegate : public platform::ApplicationDelegate {
 public:
  explicit RecordingDelegate(std::function<void()> onLaunch) : onLaunch_(std::move(onLaunch)) {}
  void applicationDidFinishLaunching() override {
    events.push_back("launched");
    onLaunch_();
  }
  void applicationWillTerminate() override { events.push_back("terminating"); }

  std::vector<std::string> events;

 private:
  std::function<void()> onLaunch_;
};

// Any termination signal ends the loop, through the delegate's last callback.
TEST(HeadlessApplication, LaunchesFirstAndTerminatesOnASignal) {
  blockTerminationSignals();  // as the process entry does, before any thread starts
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    HeadlessApplication application;
    EXPECT_EQ(application.activationPolicy(), platform::ActivationPolicy::regular);
    RecordingDelegate delegate([&] {
      application.setActivationPolicy(platform::ActivationPolicy::accessory);
      raise(signal);
    });
    application.setDelegate(&delegate);
    EXPECT_EQ(application.run(), 0);
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"launched", "terminating"}));
    EXPECT_EQ(application.activationPolicy(), platform::ActivationPolicy::accessory);
  }
}

TEST(HeadlessApplication, TasksFromOtherThreadsRunInOrderOnTheLoopThread) {
  blockTerminationSignals();
  HeadlessApplication application;
  std::vector<int> ran;
  std::vector<std::thread::id> threads;
  RecordingDelegate delegate([&] {
    std::thread poster([&] {
      for (int task = 0; task < 100; ++task) {
        application.mainThread().post([&, task] {
          threads.push_back(std::this_thread::get_id());
          ran.push_back(task);
          if (task == 99) raise(SIGTERM);  // ends the loop
        });
      }
    });
    poster.join();
  });
  application.setDelegate(&delegate);
  application.run();
  std::vector<int> inOrder(100);
  std::iota(inOrder.begin(), inOrder.end(), 0);
  EXPECT_EQ(ran, inOrder);
  EXPECT_EQ(threads, std::vector<std::thread::id>(100, std::this_thread::get_id()));
}

TEST(HeadlessApplication, TickersRepeatUntilTheirHandleIsDropped) {
  blockTerminationSignals();
  HeadlessApplication application;
  std::unique_ptr<platform::Ticker> ticker;
  int ticks = 0;
  RecordingDelegate delegate([&] {
    ticker = application.tickers().startRepeating(std::chrono::milliseconds(1), [&] {
      if (++ticks < 3) return;
      ticker.reset();  // a tick may stop its own ticker
      application.mainThread().post([] { raise(SIGTERM); });
    });
  });
  application.setDelegate(&delegate);
  application.run();
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(ticker, nullptr);
}

}  // namespace
}  // namespace pellmor
