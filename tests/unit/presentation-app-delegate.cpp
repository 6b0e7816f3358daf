// The shell's two callbacks against a recording application object: the item is set up before the
// process becomes an accessory, once; termination says goodbye once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "AppDelegate.h"
#include "StatusItemManager.h"
#include "fakes/FakeClock.h"
#include "fakes/ManualMainThread.h"
#include "fakes/FakeStatusBar.h"
#include "fakes/FakeTicker.h"

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

// The shared channel makes its FIFOs in a private runtime directory, removed when the test ends.
class RuntimeDirectory {
 public:
  RuntimeDirectory() : path_((std::filesystem::temp_directory_path() / "pellmor-delegate-XXXXXX").string()) {
    if (mkdtemp(path_.data()) == nullptr) std::abort();
    setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
  }
  ~RuntimeDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

 private:
  std::string path_;
};

// The shared controller and channel keep references to the application for the rest of the process, as
// in the program, so the application is never destroyed either.
RecordingApplication& application() {
  static RuntimeDirectory runtime;
  static RecordingApplication* const instance = new RecordingApplication;
  return *instance;
}

TEST(AppDelegate, LaunchSetsUpTheItemBeforeBecomingAnAccessoryOnce) {
  RecordingApplication& app = application();
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  ASSERT_FALSE(app.bar.log.empty());
  EXPECT_EQ(app.bar.log.front(), "statusItemWithLength(-1)");
  EXPECT_EQ(app.bar.log.back(), "setActivationPolicy(1)");
  EXPECT_EQ(std::count(app.bar.log.begin(), app.bar.log.end(), "statusItemWithLength(-1)"), 1);
  EXPECT_EQ(std::count(app.bar.log.begin(), app.bar.log.end(), "setActivationPolicy(1)"), 1);
  EXPECT_EQ(&StatusItemManager::shared(), &StatusItemManager::shared());
  EXPECT_NE(StatusItemManager::shared().hostingView(), nullptr);
  EXPECT_EQ(StatusItemManager::shared().statusItem()->button(), app.bar.lastButton);
}

TEST(AppDelegate, TerminationPrintsGoodbyeOnce) {
  AppDelegate delegate;
  ::testing::internal::CaptureStdout();
  delegate.applicationWillTerminate();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "GOODBYE!\n");
}

}  // namespace
}  // namespace pellmor
