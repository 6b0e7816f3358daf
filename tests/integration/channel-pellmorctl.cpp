// pellmorctl against a live channel: each command's effect, its output and its failures.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FIFOManager.h"
#include "Support/Container.h"
#include "support/Channel.h"

namespace pellmor {
namespace {

using testing::ManualMainThread;
using testing::TempDirectory;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string contentsOf(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class Pellmorctl : public ::testing::Test {
 protected:
  void TearDown() override { channel.reset(); }

  void startChannel(std::optional<PositionRecord> position = PositionRecord{1500, 0, 63, 24}) {
    FIFOManager::Environment environment =
        testing::environmentFor("", mainThread, [position] { return position; });
    environment.containerLookup = [] { return appGroupContainerPath(PELLMOR_APP_GROUP_IDENTIFIER); };
    channel = std::make_unique<FIFOManager>(std::move(environment));
  }

  // Runs pellmorctl with the space-separated arguments while this thread serves as the channel's main thread.
  Outcome run(const std::string& command) {
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
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contentsOf(out), contentsOf(err)};
  }

  std::string container() const { return runtime.path() + "/" PELLMOR_APP_GROUP_IDENTIFIER; }

  TempDirectory runtime;
  testing::ScopedRuntimeDirectory runtimeVariable{runtime.path().c_str()};
  TempDirectory output;
  ManualMainThread mainThread;
  std::unique_ptr<FIFOManager> channel;
};

double now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Each command's message reaches a running channel, silently.
TEST_F(Pellmorctl, CommandsReachTheChannel) {
  const struct {
    std::string command;
    std::function<bool(const FIFOManager&)> applied;
  } table[] = {
      {R"(send {"action":"setTimeFormat","value":"decimal"})",
       [](const FIFOManager& c) { return c.timeFormat() == "decimal"; }},
      {"show-timer --started-at 1700000000.5 --hours 1.25",
       [](const FIFOManager& c) {
         return c.timerStartedAt() == 1700000000.5 && c.hoursWithoutTimer() == 1.25;
       }},
      {"show-timer --started-ago 60",
       [](const FIFOManager& c) {
         return c.timerStartedAt() && std::abs(now() - 60 - *c.timerStartedAt()) < 5 &&
                !c.hoursWithoutTimer();
       }},
      {"clear-timer", [](const FIFOManager& c) { return !c.timerStartedAt() && !c.hoursWithoutTimer(); }},
      {"set-authenticated false", [](const FIFOManager& c) { return !c.authenticated(); }},
      {"set-timestamps-mode true", [](const FIFOManager& c) { return c.timestampsMode(); }},
      {"set-time-format hours_minutes",
       [](const FIFOManager& c) { return c.timeFormat() == "hours_minutes"; }},
      {"set-decimal-symbol ,", [](const FIFOManager& c) { return c.decimalSymbol() == ","; }},
  };
  startChannel();
  for (const auto& row : table) {
    SCOPED_TRACE(row.command);
    channel->setTimerStartedAt(5);
    channel->setHoursWithoutTimer(5);
    const Outcome outcome = run(row.command);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out + outcome.err, "");
    EXPECT_TRUE(mainThread.waitFor([&] { return row.applied(*channel); }));
  }
}

// What is at the other end when pellmorctl runs.
enum class Companion { none, gone, running, withoutPosition };

struct OutcomeCase {
  const char* name;
  Companion companion;
  std::string command;
  int status;
  std::string err;  // "@" stands for the container path
  std::string out = "";
};

class Outcomes : public Pellmorctl, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(Outcomes, AreExactAndBounded) {
  if (GetParam().companion == Companion::withoutPosition) startChannel(std::nullopt);
  if (GetParam().companion == Companion::running || GetParam().companion == Companion::gone) startChannel();
  if (GetParam().companion == Companion::gone) channel.reset();  // the FIFOs stay; nobody reads them
  std::string expected = GetParam().err;
  if (const auto at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, container());
  const Outcome outcome = run(GetParam().command);
  EXPECT_EQ(outcome.status, GetParam().status);
  EXPECT_EQ(outcome.out, GetParam().out);
  EXPECT_EQ(outcome.err, expected);
}

const std::string help = " (see pellmorctl --help)\n";
const std::string notReading = "pellmorctl: no companion is reading @/from_main.fifo\n";

const OutcomeCase outcomeCases[] = {
    {"position", Companion::running, "position --timeout 600", 0, "",
     "{\"action\":\"menubarPosition\",\"height\":24.0,\"width\":63.0,\"x\":1500.0,\"y\":0.0}\n"},
    {"position_without_answer", Companion::withoutPosition, "position --timeout 0.3", 1,
     "pellmorctl: no menubarPosition answer within 0.3 s (no companion, or its status item has no "
     "position)\n"},
    {"no_companion", Companion::gone, "clear-timer", 1, notReading},
    {"no_fifo", Companion::none, "send {}", 1,
     "pellmorctl: @/from_main.fifo does not exist; is the companion running?\n"},
    {"listen_times_out", Companion::gone, "listen --count 1 --timeout 0.2", 1,
     "pellmorctl: timed out after 0 of 1 lines\n"},
    {"unknown_command", Companion::none, "start", 2, "pellmorctl: unknown command 'start'" + help},
    {"exclusive_options", Companion::none, "show-timer --started-ago 1 --started-at 2", 2,
     "pellmorctl: --started-ago and --started-at exclude each other" + help},
};

INSTANTIATE_TEST_SUITE_P(Table, Outcomes, ::testing::ValuesIn(outcomeCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellmor
