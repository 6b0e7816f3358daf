// The shell's two callbacks, as a user sees their outcome: after launch the one item stands in the menu
// bar, as wide as its content, and the process has no presence of its own besides (an accessory);
// termination says goodbye once and nothing else.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>

#include "AppDelegate.h"
#include "Backends/Headless/FixedTextMetrics.h"
#include "StatusItemManager.h"
#include "support/Channel.h"
#include "support/MenuBar.h"

namespace pellmor {
namespace {

class MenuBarApplication : public platform::Application, public testing::MenuBar {
 public:
  MenuBarApplication() : MenuBar(platform::makeRect(0, 1056, 1920, 24), {1500, 0}) {}

  void setDelegate(platform::ApplicationDelegate*) override {}
  void setActivationPolicy(platform::ActivationPolicy policy) override { policy_ = policy; }
  int run() override { return 0; }
  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double length) override {
    ++items;
    return MenuBar::statusItemWithLength(length);
  }

  platform::MainThread& mainThread() override { return mainThread_; }
  platform::TickerFactory& tickers() override { return tickers_; }
  platform::Clock& clock() override { return clock_; }
  platform::StatusBar& systemStatusBar() override { return *this; }
  platform::Screens& screens() override { return screens_; }
  const platform::TextMetrics& textMetrics() override { return textMetrics_; }

  bool isAccessory() const { return policy_ == platform::ActivationPolicy::accessory; }
  void runPendingTasks() { mainThread_.drain(); }

  int items = 0;

 private:
  std::optional<platform::ActivationPolicy> policy_;
  testing::ManualMainThread mainThread_;
  testing::FakeTickerFactory tickers_;
  testing::FakeClock clock_{1'700'000'000.0};
  testing::FakeScreens screens_{{platform::makeRect(0, 0, 1920, 1080)}};
  FixedTextMetrics textMetrics_;
};

// The shared controller and channel keep references to the application for the rest of the process, as
// in the program, so the application is never destroyed either.
MenuBarApplication& application() {
  // The shared channel makes its FIFOs in a private runtime directory.
  static const testing::TempDirectory runtime;
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  static MenuBarApplication* const instance = new MenuBarApplication;
  return *instance;
}

TEST(AppDelegate, LaunchShowsOneItemAsAnAccessoryAndTerminationSaysGoodbyeOnce) {
  MenuBarApplication& app = application();
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  app.runPendingTasks();  // the content measures itself
  EXPECT_TRUE(app.isAccessory());
  EXPECT_EQ(app.items, 1);
  const std::optional<PositionRecord> position = StatusItemManager::shared().menubarPositionInfo();
  ASSERT_TRUE(position.has_value()) << "no item in the menu bar";
  EXPECT_EQ(position->width, 63);  // the signed-in content, "-:--"
  ::testing::internal::CaptureStdout();
  delegate.applicationWillTerminate();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "GOODBYE!\n");
}

}  // namespace
}  // namespace pellmor
