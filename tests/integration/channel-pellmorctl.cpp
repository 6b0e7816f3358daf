// pellmorctl against a live channel: the commands the end-to-end tests do not use, and the failures, in
// the order of a session: before any companion, with one running, and after it has gone (its FIFOs stay).

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <string>

#include "FIFOManager.h"
#include "Support/Container.h"
#include "support/Channel.h"

namespace pellmor {
namespace {

std::string contentsOf(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

enum class Companion { none, running, gone };

TEST(Pellmorctl, CommandsReachTheChannelAndFailuresAreExactAndBounded) {
  testing::TempDirectory runtime;
  const testing::ScopedRuntimeDirectory runtimeVariable(runtime.path().c_str());
  testing::TempDirectory output;
  testing::ManualMainThread mainThread;
  std::unique_ptr<FIFOManager> channel;

  // Runs pellmorctl with the space-separated arguments while this thread serves as the main thread.
  const auto run = [&](const std::string& command) {
    std::string line = PELLMOR_CTL_PATH;
    std::istringstream words(command);
    for (std::string word; words >> word;)
      line += " '" + word + "'";
    const std::string out = output.path() + "/out", err = output.path() + "/err";
    auto finished = std::async(std::launch::async,
                               [&] { return std::system((line + " >" + out + " 2>" + err).c_str()); });
    mainThread.waitFor(
        [&] { return finished.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    const int status = finished.get();
    return std::tuple(WIFEXITED(status) ? WEXITSTATUS(status) : -1, contentsOf(out), contentsOf(err));
  };

  const std::string container = runtime.path() + "/" PELLMOR_APP_GROUP_IDENTIFIER;
  const struct {
    Companion companion;
    std::string command;
    int status;
    std::string out, err;
    std::function<bool(const FIFOManager&)> applied = {};
  } table[] = {
      {Companion::none, "start", 2, "", "pellmorctl: unknown command 'start' (see pellmorctl --help)\n"},
      {Companion::none, "send {}", 1, "",
       "pellmorctl: " + container + "/from_main.fifo does not exist; is the companion running?\n"},
      {Companion::running, R"(send {"action":"setTimeFormat","value":"decimal"})", 0, "", "",
       [](const FIFOManager& c) { return c.timeFormat() == "decimal"; }},
      {Companion::running, "show-timer --started-at 1700000000.5 --hours 1.25", 0, "", "",
       [](const FIFOManager& c) {
         return c.timerStartedAt() == 1700000000.5 && c.hoursWithoutTimer() == 1.25;
       }},
      {Companion::running, "clear-timer", 0, "", "",
       [](const FIFOManager& c) { return !c.timerStartedAt() && !c.hoursWithoutTimer(); }},
      {Companion::running, "set-time-format hours_minutes", 0, "", "",
       [](const FIFOManager& c) { return c.timeFormat() == "hours_minutes"; }},
      {Companion::gone, "clear-timer", 1, "",
       "pellmorctl: no companion is reading " + container + "/from_main.fifo\n"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.command);
    if (row.companion == Companion::running && !channel) {
      FIFOManager::Environment environment = testing::environmentFor("", mainThread);
      environment.containerLookup = [] { return appGroupContainerPath(PELLMOR_APP_GROUP_IDENTIFIER); };
      channel = std::make_unique<FIFOManager>(std::move(environment));
    }
    if (row.companion == Companion::gone) channel.reset();
    if (channel) {
      channel->setTimerStartedAt(5);
      channel->setHoursWithoutTimer(5);
    }
    EXPECT_EQ(run(row.command), std::tuple(row.status, row.out, row.err));
    EXPECT_TRUE(!row.applied || mainThread.waitFor([&] { return row.applied(*channel); }));
  }
}

}  // namespace
}  // namespace pellmor
