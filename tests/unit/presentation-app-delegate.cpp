// The shell's two callbacks against a recording application object: the item is set up before the
// process becomes an accessory, once; termination says goodbye once.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "AppDelegate.h"
#include "Backends/Headless/FixedTextMetrics.h"
#include "Backends/Headless/HeadlessStatusBar.h"
#include "StatusItemManager.h"
#include "support/Channel.h"
#include "support/MenuBar.h"

namespace pellmor {
namespace {

class RecordingApplication : public platform::Application, public testing::MenuBar {
 public:
  RecordingApplication() : MenuBar(platform::makeRect(0, 1056, 1920, 24), {}) {}

  void setDelegate(platform::ApplicationDelegate*) override {}
  void setActivationPolicy(platform::ActivationPolicy policy) override {
    log.push_back("setActivationPolicy(" + std::to_string(static_cast<int>(policy)) + ")");
  }
  int run() override { return 0; }
  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double length) override {
    log.push_back("statusItemWithLength");
    return MenuBar::statusItemWithLength(length);
  }

  platform::MainThread& mainThread() override { return mainThread_; }
  platform::TickerFactory& tickers() override { return tickers_; }
  platform::Clock& clock() override { return clock_; }
  platform::StatusBar& systemStatusBar() override { return *this; }
  platform::Screens& screens() override { return screens_; }
  const platform::TextMetrics& textMetrics() override { return textMetrics_; }

  std::vector<std::string> log;

 private:
  testing::ManualMainThread mainThread_;
  testing::FakeTickerFactory tickers_;
  testing::FakeClock clock_{1'700'000'000.0};
  HeadlessScreens screens_;
  FixedTextMetrics textMetrics_;
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
  const std::vector<std::string>& log = application().log;
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(log, (std::vector<std::string>{"statusItemWithLength", "setActivationPolicy(1)"}));
  EXPECT_NE(StatusItemManager::shared().hostingView(), nullptr);
  ::testing::internal::CaptureStdout();
  delegate.applicationWillTerminate();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "GOODBYE!\n");
}

}  // namespace
}  // namespace pellmor
