// The channel over real FIFOs in a temporary container, with the test playing the main application.

#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "FIFOManager.h"
#include "support/Channel.h"

namespace pellmor {
namespace {

using testing::MainAppReader;
using testing::writeConnection;

// `count` showTimer lines, each starting at its own index.
std::string showTimerLines(int count, int first = 0) {
  std::string lines;
  for (int i = first; i < first + count; ++i)
    lines += R"({"action":"showTimer","startedAt":)" + std::to_string(i) + "}\n";
  return lines;
}

class Transport : public ::testing::Test {
 protected:
  // Each showTimer line signals twice; the second signal sees the line's own startedAt, so a line lost or
  // out of order shows here.
  bool everyShowTimerArrivedInOrder(int lines, std::chrono::milliseconds timeout = testing::patience()) {
    if (!mainThread.waitFor([&] { return startedAtDuringSignals.size() == 2u * lines; }, timeout))
      return false;
    for (int i = 0; i < lines; ++i)
      if (startedAtDuringSignals[2 * i + 1] != double(i)) return false;
    return true;
  }

  testing::ManualMainThread mainThread;
  testing::RecordingSyscalls syscalls;
  testing::TempChannel temp{mainThread,
                            [] {
                              return std::optional(PositionRecord{1500, 0, 63.5, 24});
                            },
                            &syscalls};
  FIFOManager& channel = temp.fifo();
  std::vector<std::optional<double>> startedAtDuringSignals;
  const Subscription recording = channel.objectWillChange().subscribe(
      [this] { startedAtDuringSignals.push_back(channel.timerStartedAt()); });
};

// The fragment, the ill-formed line and the overlong line would each take effect if they were parsed.
TEST_F(Transport, FragmentAtEndOfFileAndOverlongLinesAreDroppedAndReadingGoesOn) {
  // Longer than the 1 MiB bound of a line.
  const std::string overlong =
      R"({"action":"setTimestampsMode","value":true,"pad":")" + std::string(1 << 20, 'x') + "\"}\n";
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(
      writeConnection(channel.fromMainPath(),
                      "{\"action\":\"setTimeFormat\",\"value\":\"decimal\"}\n{\"action\":\"setDecimalSym"));
  // The reader opens its next descriptor at end of file; only then does the next connection begin.
  ASSERT_TRUE(syscalls.waitForCount("open", 2, "from_main"));
  ASSERT_TRUE(
      writeConnection(channel.fromMainPath(), "bol\",\"value\":\",\"}\n\xFF\xFE{}\n" + overlong +
                                                  "{\"action\":\"setAuthenticated\",\"value\":false}\n"));
  ASSERT_TRUE(mainThread.waitFor([&] { return !channel.authenticated(); }));
  EXPECT_EQ(channel.timeFormat(), "decimal");
  EXPECT_EQ(channel.decimalSymbol(), ".");
  EXPECT_FALSE(channel.timestampsMode());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

// The main application opens, writes one line and closes, again and again, each time once the reader has
// read the line before. So the reader often meets an end of file between connections (and pauses there),
// and the next line comes while it moves on to a new descriptor: a reader that let go of the FIFO there
// would lose it.
// Fewer rounds in the slower sanitizer builds; the volume itself is the benchmarks' business.
TEST_F(Transport, WriterReconnectingOverAndOverLosesNoLine) {
  const int connections = static_cast<int>(2000 / testing::timeScale());
  syscalls.pauseAtEndOfFile = std::chrono::microseconds(200);
  std::atomic<bool> giveUp{false};
  std::thread peer([&] {
    for (int i = 0; i < connections && !giveUp; ++i) {
      const std::size_t readsBefore = syscalls.count("read data");
      writeConnection(channel.fromMainPath(), showTimerLines(1, i));
      syscalls.waitForCount("read data", readsBefore + 1);
    }
  });
  EXPECT_TRUE(everyShowTimerArrivedInOrder(connections, testing::patience(90)));
  giveUp = true;
  peer.join();
  EXPECT_GT(syscalls.count("read end"), 0u);  // the reader did move on to new descriptors
}

// While the main thread does not run, the reader stops at the bound of waiting messages: the FIFO then
// fills up and the peer's write waits, instead of the backlog growing.
TEST_F(Transport, BusyMainThreadHoldsTheReaderBackWithoutLosingLines) {
  constexpr int lines = 3 * static_cast<int>(FIFOManager::maxMessagesAwaitingMainThread);
  std::thread peer([&] { writeConnection(channel.fromMainPath(), showTimerLines(lines)); });
  const bool heldBack = testing::eventually([this] {
    const FileDescriptor probe(::open(channel.fromMainPath().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    int unread = 0;
    ::ioctl(probe.get(), FIONREAD, &unread);
    const bool full = unread > ::fcntl(probe.get(), F_GETPIPE_SZ) - 4096;
    return full && mainThread.queued() == FIFOManager::maxMessagesAwaitingMainThread;
  });
  EXPECT_TRUE(heldBack);
  EXPECT_EQ(mainThread.mostQueued(), FIFOManager::maxMessagesAwaitingMainThread);
  EXPECT_TRUE(everyShowTimerArrivedInOrder(lines));
  peer.join();
}

TEST_F(Transport, LateReaderGetsQueuedLinesInOrder) {
  channel.sendMessage(R"({"n":1})");
  channel.sendToggleTimerMessage();
  channel.sendToggleAppMessage();
  channel.processLine(R"({"action":"requestMenubarPosition"})");
  mainThread.drain();
  ASSERT_TRUE(syscalls.waitForCount("open", 1, "to_main"));  // the writer waits for a reader

  const std::vector<std::string> expected = {
      R"({"n":1})", R"({"action":"toggleTimer"})", R"({"action":"toggleApp"})",
      R"({"action":"menubarPosition","height":24.0,"width":63.5,"x":1500.0,"y":0.0})"};
  MainAppReader reader(channel.toMainPath());
  EXPECT_EQ(reader.readLines(4), expected);
}

TEST_F(Transport, ReaderOfToMainGoingAwayMidWriteCostsOnlyThatLine) {
  channel.sendMessage(std::string(1 << 20, 'z'));  // far more than the pipe holds
  {
    MainAppReader reader(channel.toMainPath());
    ASSERT_TRUE(syscalls.waitForCount("write", 1));
  }  // closed while the writer is blocked in its write: SIGPIPE and EPIPE for the writer thread
  channel.sendToggleAppMessage();
  // The next task opens only once the broken write has returned; a reader opened earlier would let the
  // blocked write go on.
  ASSERT_TRUE(syscalls.waitForCount("open", 2, "to_main"));
  MainAppReader next(channel.toMainPath());
  EXPECT_EQ(next.readLines(1), std::vector<std::string>{R"({"action":"toggleApp"})"});
}

}  // namespace
}  // namespace pellmor
