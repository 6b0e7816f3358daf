// The shell's two callbacks against a recording application object: the item is set up before the
// process becomes an accessory, once; termination says goodbye once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "AppDelegate.h"
#include "StatusItemManager.h"
#include "support/Channel.h"
#include "support/Fakes.h"

namespace pellmor {
namespace {

class RecordingApplication : public platform::Application {
 public:
  void setDelegate(platform::ApplicationDelegate*) override {}
  void setActivationPolicy(platform::ActivationPolicy policy) override {
    bar.log.push_back("setActivationPolicy(" + std::to_string(static_cast<int>(policy)) + ")");
  }
  int run() override { return 0; }

  platform::MainThread& mainThread() override { return mainThread_; }
  platform::TickerFactory& tickers() override { return tickers_; }
  platform::Clock& clock() override { return clock_; }
  platform::StatusBar& systemStatusBar() override { return bar; }
  platform::Screens& screens() override { return screens_; }

  testing::FakeStatusBar bar;

 private:
  testing::ManualMainThread mainThread_;
  testing::FakeTickerFactory tickers_;
  testing::FakeClock clock_{1'700'000'000.0};
  testing::FakeScreens screens_;
};

// The shared controller and channel keep references to the application for the rest of the process, as
// in the program, so the application is never destroyed either.
RecordingApplication& application() {
  // The shared channel makes its FIFOs in a private runtime directory.
  static const testing::TempDirectory runtime;
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  static RecordingApplication* const instance = new RecordingApplication;
  return *instance;
}

TEST(AppDelegate, LaunchSetsUpTheItemBeforeBecomingAnAccessoryOnceAndTerminationSaysGoodbye) {
  const testing::CallLog& log = application().bar.log;
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "statusItemWithLength(-1)");
  EXPECT_EQ(log.back(), "setActivationPolicy(1)");
  EXPECT_EQ(std::count(log.begin(), log.end(), "statusItemWithLength(-1)"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "setActivationPolicy(1)"), 1);
  EXPECT_NE(StatusItemManager::shared().hostingView(), nullptr);
  EXPECT_EQ(StatusItemManager::shared().statusItem()->button(), application().bar.lastButton);
  ::testing::internal::CaptureStdout();
  delegate.applicationWillTerminate();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "GOODBYE!\n");
}

}  // namespace
}  // namespace pellmor
