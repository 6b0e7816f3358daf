// Process-level figures of the companion: start-up time until both FIFOs exist, resident memory after
// start-up and after a million messages and ten thousand reconnections, and wake-ups while idle.
// Prints a table; asserts nothing.
//
//   footprint [--desktop] [--runs N] [--idle-seconds S]
//
// --desktop keeps DISPLAY, so the companion docks into the tray of that display (start one first); a
// running timer is then shown, so the idle figure includes the label's one-second ticker.

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CompanionProcess.h"
#include "support/Channel.h"

namespace {

using namespace std::chrono_literals;
using pellmor::bench::CompanionProcess;
using pellmor::testing::TempDirectory;
using pellmor::testing::writeConnection;
namespace fs = std::filesystem;

struct Settings {
  bool desktop = false;
  int runs = 20;
  int idleSeconds = 10;
};

Settings parse(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--desktop") {
      settings.desktop = true;
    } else if (argument == "--runs" && i + 1 < argc) {
      settings.runs = std::max(1, std::atoi(argv[++i]));
    } else if (argument == "--idle-seconds" && i + 1 < argc) {
      settings.idleSeconds = std::max(1, std::atoi(argv[++i]));
    }
  }
  return settings;
}

fs::path containerOf(const TempDirectory& runtime) {
  return fs::path(runtime.path()) / PELLMOR_APP_GROUP_IDENTIFIER;
}

bool waitForBothFifos(const fs::path& container) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (fs::is_fifo(container / "to_main.fifo") && fs::is_fifo(container / "from_main.fifo")) return true;
    std::this_thread::sleep_for(100us);
  }
  return false;
}

// Sends a line the companion reports, and waits for the report: everything sent before has been applied.
bool roundTrip(CompanionProcess& companion, const fs::path& container, const std::string& tag) {
  writeConnection(container / "from_main.fifo", R"({"action":"sentinel","tag":")" + tag + "\"}\n");
  return companion.waitForLine([&](const std::string& line) { return line.find(tag) != std::string::npos; },
                               120s);
}

void measureStartup(const Settings& settings) {
  std::vector<double> milliseconds;
  for (int run = 0; run < settings.runs; ++run) {
    TempDirectory runtime;
    const auto started = std::chrono::steady_clock::now();
    CompanionProcess companion(runtime.path(), settings.desktop);
    if (!waitForBothFifos(containerOf(runtime))) {
      std::printf("start-up: the FIFOs did not appear\n");
      return;
    }
    milliseconds.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
  }
  std::sort(milliseconds.begin(), milliseconds.end());
  std::printf("start-up until both FIFOs exist: median %.1f ms, max %.1f ms over %d runs\n",
              milliseconds[milliseconds.size() / 2], milliseconds.back(), settings.runs);
}

void floodAndReconnect(const fs::path& container) {
  std::string batch;
  for (int i = 0; i < 1000; ++i)
    batch += R"({"action":"setTimestampsMode","value":true})"
             "\n";
  std::string flood;
  for (int i = 0; i < 1000; ++i)
    flood += batch;
  writeConnection(container / "from_main.fifo", flood);
  for (int i = 0; i < 10'000; ++i) {
    writeConnection(container / "from_main.fifo", R"({"action":"setAuthenticated","value":true})"
                                                  "\n");
  }
}

void measureMemoryAndIdle(const Settings& settings) {
  TempDirectory runtime;
  const fs::path container = containerOf(runtime);
  CompanionProcess companion(runtime.path(), settings.desktop);
  if (!waitForBothFifos(container) || !roundTrip(companion, container, "ready")) {
    std::printf("memory: the companion did not answer\n");
    return;
  }
  std::this_thread::sleep_for(500ms);
  const long afterStart = companion.residentKilobytes();
  floodAndReconnect(container);
  roundTrip(companion, container, "after-load");
  const long afterLoad = companion.residentKilobytes();
  // A second round shows whether memory keeps growing or the first one only warmed up the allocator.
  floodAndReconnect(container);
  roundTrip(companion, container, "after-second-load");
  const long afterSecondLoad = companion.residentKilobytes();
  std::printf(
      "resident memory: %.1f MB after start-up, %.1f MB after 1,000,000 messages and 10,000 reconnections, "
      "%.1f MB after as many again\n",
      afterStart / 1024.0, afterLoad / 1024.0, afterSecondLoad / 1024.0);

  auto idle = [&](const char* what) {
    std::this_thread::sleep_for(1s);
    const long before = companion.voluntaryContextSwitches();
    std::this_thread::sleep_for(std::chrono::seconds(settings.idleSeconds));
    const long after = companion.voluntaryContextSwitches();
    std::printf("wake-ups while idle, %s: %.2f per second over %d s\n", what,
                static_cast<double>(after - before) / settings.idleSeconds, settings.idleSeconds);
  };
  writeConnection(container / "from_main.fifo", R"({"action":"clearTimer"})"
                                                "\n");
  idle("no label shown");
  writeConnection(container / "from_main.fifo",
                  R"({"action":"showTimer","startedAt":1700000000,"hoursWithoutTimer":0})"
                  "\n");
  idle(settings.desktop ? "a running total shown"
                        : "a running total set (no item is shown without a display)");
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  const Settings settings = parse(argc, argv);
  std::printf("backend: %s\n", settings.desktop ? "desktop (X11 tray)" : "headless");
  measureStartup(settings);
  measureMemoryAndIdle(settings);
}
