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

// A showTimer line starting at `index`, without its newline, carrying `padding` bytes the handler ignores.
std::string showTimerLine(int index, std::size_t padding = 0) {
  std::string line = R"({"action":"showTimer","startedAt":)" + std::to_string(index);
  if (padding > 0) line += R"(,"pad":")" + std::string(padding, 'x') + '"';
  return line + '}';
}

// `count` showTimer lines, each starting at its own index.
std::string showTimerLines(int count, int first = 0, std::size_t padding = 0) {
  std::string lines;
  for (int i = first; i < first + count; ++i)
    lines += showTimerLine(i, padding) + '\n';
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

// How many padded showTimer lines the reader hands to a main thread that does not run: it posts while
// both the count and the bytes of the lines waiting are below their bounds.
std::size_t linesTheReaderPosts(std::size_t padding) {
  std::size_t lines = 0;
  for (std::size_t bytes = 0; lines < FIFOManager::maxMessagesAwaitingMainThread &&
                              bytes < FIFOManager::maxLineBytesAwaitingMainThread;
       ++lines)
    bytes += showTimerLine(static_cast<int>(lines), padding).size();
  return lines;
}

class BusyMainThread : public Transport, public ::testing::WithParamInterface<std::size_t> {};

// While the main thread does not run, the reader stops at the bound of waiting messages, or for long lines
// at the bound of their bytes: the FIFO then fills up and the peer's write waits, instead of the backlog
// growing.
TEST_P(BusyMainThread, HoldsTheReaderBackWithoutLosingLines) {
  const std::size_t padding = GetParam();
  const std::size_t posted = linesTheReaderPosts(padding);
  const int lines = 3 * static_cast<int>(posted);
  std::thread peer([&] { writeConnection(channel.fromMainPath(), showTimerLines(lines, 0, padding)); });
  const bool heldBack = testing::eventually([&] {
    const FileDescriptor probe(::open(channel.fromMainPath().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    int unread = 0;
    ::ioctl(probe.get(), FIONREAD, &unread);
    const bool full = unread > ::fcntl(probe.get(), F_GETPIPE_SZ) - 4096;
    return full && mainThread.queued() == posted;
  });
  EXPECT_TRUE(heldBack);
  EXPECT_EQ(mainThread.mostQueued(), posted);
  EXPECT_TRUE(everyShowTimerArrivedInOrder(lines));
  peer.join();
}

// Short lines meet the count first, lines of about 100 kB the bytes.
INSTANTIATE_TEST_SUITE_P(Transport, BusyMainThread, ::testing::Values(std::size_t{0}, std::size_t{100'000}));

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

// A peer that asks and asks while it reads nothing: the lines beyond the bound are dropped, reported once,
// and the queue takes lines again once the main application reads.
TEST_F(Transport, WriterQueueStopsGrowingWhileNobodyReads) {
  constexpr int bound = static_cast<int>(FIFOWriter::maxLinesAwaitingWrite);
  ::testing::internal::CaptureStdout();
  for (int i = 0; i < bound + 10; ++i)
    channel.sendMessage(std::to_string(i));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Dropping messages: the main application does not read them\n");

  MainAppReader reader(channel.toMainPath());
  const std::vector<std::string> lines = reader.readLines(bound);
  ASSERT_EQ(lines.size(), std::size_t{bound});
  for (int i = 0; i < bound; ++i)
    ASSERT_EQ(lines[i], std::to_string(i));
  // The last line's task may still be closing its descriptor; a line is taken once it has ended.
  EXPECT_TRUE(testing::eventually([&] {
    channel.sendToggleAppMessage();
    return reader.readLine(std::chrono::milliseconds(20)) == R"({"action":"toggleApp"})";
  }));
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
