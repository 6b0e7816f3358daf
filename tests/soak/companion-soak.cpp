// Long and hostile runs against the companion process itself: many reconnections, huge lines, floods,
// odd entries at the FIFO paths, an unsafe container and termination under load. Each run ends by
// checking that the process is alive (or ended as it should), that memory stayed bounded and that a
// later message still took effect.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "support/CompanionProcess.h"

namespace pellmor::testing {
namespace {

namespace fs = std::filesystem;

constexpr long kMemoryAllowanceKilobytes = 16 * 1024;

std::string sentinel(std::string_view tag) {
  return R"({"action":"sentinel","tag":")" + std::string(tag) + "\"}";
}

bool isSentinelReport(const std::string& line, std::string_view tag) {
  return line.starts_with("Received unknown action: ") && line.find(std::string(tag)) != std::string::npos;
}

class CompanionSoak : public ::testing::Test {
 protected:
  void SetUp() override { signal(SIGPIPE, SIG_IGN); }

  fs::path container() const { return runtime_.path() / PELLMOR_APP_GROUP_IDENTIFIER; }
  fs::path fromMain() const { return container() / "from_main.fifo"; }
  fs::path toMain() const { return container() / "to_main.fifo"; }

  std::unique_ptr<CompanionProcess> start() {
    auto companion = std::make_unique<CompanionProcess>(runtime_.path());
    EXPECT_TRUE(waitForPath(fromMain(), 10s)) << "the companion did not create its FIFOs";
    return companion;
  }

  // Sends a sentinel in a connection of its own and waits for the companion to report it.
  void expectSentinelApplied(CompanionProcess& companion, std::string_view tag) {
    {
      FifoWriter writer(fromMain());
      ASSERT_TRUE(writer.write(sentinel(tag) + "\n"));
    }
    EXPECT_TRUE(
        companion.waitForLine([&](const std::string& line) { return isSentinelReport(line, tag); }, 30s))
        << "a valid message after the run was not applied";
    EXPECT_TRUE(companion.isAlive());
  }

  void expectGoodbyeOnTermination(CompanionProcess& companion) {
    companion.signal(SIGTERM);
    const auto status = companion.waitForExit(10s);
    ASSERT_TRUE(status.has_value()) << "the companion did not end after SIGTERM";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(std::count(companion.out().lines().begin(), companion.out().lines().end(), "GOODBYE!"), 1);
  }

  RuntimeDirectory runtime_;
};

TEST_F(CompanionSoak, WriterReconnectingTenThousandTimesLosesNoLine) {
  auto companion = start();
  expectSentinelApplied(*companion, "warm-up");
  const long residentBefore = companion->residentKilobytes();

  constexpr int kConnections = 10'000;
  std::thread writer([&] {
    for (int i = 0; i < kConnections; ++i) {
      FifoWriter connection(fromMain());
      connection.write(R"({"action":"reconnect","n":)" + std::to_string(i) + "}\n");
    }
  });
  std::vector<int> seen;
  const auto last = companion->waitForLine(
      [&](const std::string& line) {
        const auto at = line.find(R"("n":)");
        if (!line.starts_with("Received unknown action: ") || at == std::string::npos) return false;
        seen.push_back(std::stoi(line.substr(at + 4)));
        return seen.back() == kConnections - 1;
      },
      120s);
  writer.join();

  ASSERT_TRUE(last.has_value());
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(kConnections));
  for (int i = 0; i < kConnections; ++i)
    ASSERT_EQ(seen[static_cast<std::size_t>(i)], i) << "out of order";
  EXPECT_LT(companion->residentKilobytes() - residentBefore, kMemoryAllowanceKilobytes);
  expectSentinelApplied(*companion, "after-reconnections");
}

TEST_F(CompanionSoak, HundredMegabyteLineWithoutNewlineKeepsMemoryBounded) {
  auto companion = start();
  expectSentinelApplied(*companion, "warm-up");
  const long residentBefore = companion->residentKilobytes();
  {
    FifoWriter writer(fromMain());
    const std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 100; ++i)
      ASSERT_TRUE(writer.write(chunk));
    // The same connection goes on: the end of the long line, then a valid message.
    ASSERT_TRUE(writer.write("\n" + sentinel("after-long-line") + "\n"));
  }
  EXPECT_TRUE(companion->waitForLine(
      [](const std::string& line) { return isSentinelReport(line, "after-long-line"); }, 60s));
  EXPECT_LT(companion->residentKilobytes() - residentBefore, kMemoryAllowanceKilobytes);
  expectSentinelApplied(*companion, "next-connection");
}

TEST_F(CompanionSoak, FloodOfOneMillionMessagesIsAppliedInBoundedMemory) {
  auto companion = start();
  expectSentinelApplied(*companion, "warm-up");
  const long residentBefore = companion->residentKilobytes();
  {
    FifoWriter writer(fromMain());
    std::string batch;
    for (int i = 0; i < 1000; ++i) {
      batch += i % 2 == 0 ? R"({"action":"setTimeFormat","value":"decimal"})"
                            "\n"
                          : R"({"action":"showTimer","startedAt":1700000000.5,"hoursWithoutTimer":1.25})"
                            "\n";
    }
    for (int i = 0; i < 1000; ++i)
      ASSERT_TRUE(writer.write(batch));
    ASSERT_TRUE(writer.write(sentinel("after-flood") + "\n"));
  }
  EXPECT_TRUE(companion->waitForLine(
      [](const std::string& line) { return isSentinelReport(line, "after-flood"); }, 120s));
  EXPECT_LT(companion->residentKilobytes() - residentBefore, kMemoryAllowanceKilobytes);
  expectGoodbyeOnTermination(*companion);
}

TEST_F(CompanionSoak, TerminationDuringAFloodSaysGoodbyeOnceAndExitsCleanly) {
  auto companion = start();
  expectSentinelApplied(*companion, "warm-up");
  std::atomic<bool> stop = false;
  std::thread flood([&] {
    FifoWriter writer(fromMain());
    const std::string line = R"({"action":"setAuthenticated","value":false})"
                             "\n";
    while (!stop && writer.write(line)) {
    }
  });
  std::this_thread::sleep_for(200ms);
  expectGoodbyeOnTermination(*companion);
  stop = true;
  flood.join();
  EXPECT_TRUE(fs::is_fifo(fromMain())) << "the FIFOs stay for the next start";
  EXPECT_TRUE(fs::is_fifo(toMain()));
}

// What sits at "/from_main.fifo" instead of a FIFO; the companion must not consume it as messages.
struct ForeignEntry {
  const char* name;
  void (*make)(const fs::path&);
};

class ForeignEntryAtFromMain : public CompanionSoak, public ::testing::WithParamInterface<ForeignEntry> {};

TEST_P(ForeignEntryAtFromMain, ReaderGivesUpWithItsLineAndTheProcessLives) {
  fs::create_directories(container());
  chmod(container().c_str(), 0700);
  GetParam().make(fromMain());
  CompanionProcess companion(runtime_.path());
  EXPECT_TRUE(companion.waitForLine(
      [](const std::string& line) { return line == "Failed to open FIFO for reading"; }, 10s));
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(companion.isAlive());
  struct stat info;
  EXPECT_EQ(lstat(fromMain().c_str(), &info), 0) << "the entry is left in place";
  EXPECT_FALSE(S_ISFIFO(info.st_mode));
  expectGoodbyeOnTermination(companion);
}

void makeRegularFile(const fs::path& path) {
  std::ofstream(path) << R"({"action":"setAuthenticated","value":false})"
                      << "\n";
}
void makeDirectory(const fs::path& path) {
  fs::create_directory(path);
}
void makeDanglingLink(const fs::path& path) {
  fs::create_symlink("nowhere-at-all", path);
}

INSTANTIATE_TEST_SUITE_P(Entries, ForeignEntryAtFromMain,
                         ::testing::Values(ForeignEntry{"RegularFile", makeRegularFile},
                                           ForeignEntry{"Directory", makeDirectory},
                                           ForeignEntry{"DanglingSymlink", makeDanglingLink}),
                         [](const auto& info) { return std::string(info.param.name); });

class ForeignEntryAtToMain : public CompanionSoak, public ::testing::WithParamInterface<ForeignEntry> {};

TEST_P(ForeignEntryAtToMain, IncomingMessagesStillWork) {
  fs::create_directories(container());
  chmod(container().c_str(), 0700);
  GetParam().make(toMain());
  auto companion = start();
  expectSentinelApplied(*companion, "with-foreign-to-main");
  struct stat info;
  EXPECT_EQ(lstat(toMain().c_str(), &info), 0);
  EXPECT_FALSE(S_ISFIFO(info.st_mode)) << "the entry is not replaced";
  expectGoodbyeOnTermination(*companion);
}

INSTANTIATE_TEST_SUITE_P(Entries, ForeignEntryAtToMain,
                         ::testing::Values(ForeignEntry{"RegularFile", makeRegularFile},
                                           ForeignEntry{"Directory", makeDirectory},
                                           ForeignEntry{"DanglingSymlink", makeDanglingLink}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CompanionSoak, UnsafeContainerStopsTheProcessWithTheFatalLine) {
  fs::create_directories(container());
  chmod(container().c_str(), 0777);
  CompanionProcess companion(runtime_.path());
  const auto status = companion.waitForExit(10s);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFSIGNALED(*status)) << "an abnormal end";
  const auto& lines = companion.err().lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "PellmorStatus/FIFOManager:14: Fatal error: Could not find App Group container"),
            lines.end());
  EXPECT_FALSE(fs::exists(fromMain()));
}

}  // namespace
}  // namespace pellmor::testing
