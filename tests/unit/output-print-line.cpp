// Diagnostics come from the reader thread and the main thread at once; each must stay a line of its own.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

#include "Support/Output.h"

namespace pellmor {
namespace {

TEST(PrintLine, LinesFromTwoThreadsNeverInterleave) {
  constexpr int kLinesPerThread = 5000;
  const std::string fromReader = "Failed to open FIFO for reading";
  const std::string fromMain = "Failed to create NSStatusItem button";
  testing::internal::CaptureStdout();
  std::thread reader([&] {
    for (int i = 0; i < kLinesPerThread; ++i)
      printLine(fromReader);
  });
  for (int i = 0; i < kLinesPerThread; ++i)
    printLine(fromMain);
  reader.join();
  std::istringstream output(testing::internal::GetCapturedStdout());

  int readerLines = 0;
  int mainLines = 0;
  for (std::string line; std::getline(output, line);) {
    if (line == fromReader) {
      ++readerLines;
    } else if (line == fromMain) {
      ++mainLines;
    } else {
      FAIL() << "a torn line: '" << line << "'";
    }
  }
  EXPECT_EQ(readerLines, kLinesPerThread);
  EXPECT_EQ(mainLines, kLinesPerThread);
}

}  // namespace
}  // namespace pellmor
