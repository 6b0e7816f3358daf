// Diagnostics come from the reader thread and the main thread at once; each must stay a line of its own.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "Support/Output.h"

namespace pellmor {
namespace {

TEST(PrintLine, LinesFromTwoThreadsNeverInterleave) {
  const std::string fromReader = "Failed to open FIFO for reading";
  const std::string fromMain = "Failed to create NSStatusItem button";
  const auto print5000 = [](const std::string& line) {
    for (int i = 0; i < 5000; ++i)
      printLine(line);
  };
  testing::internal::CaptureStdout();
  std::thread reader(print5000, fromReader);
  print5000(fromMain);
  reader.join();
  std::istringstream output(testing::internal::GetCapturedStdout());
  std::map<std::string, int> lines;
  for (std::string line; std::getline(output, line);)
    ++lines[line];
  EXPECT_EQ(lines, (std::map<std::string, int>{{fromReader, 5000}, {fromMain, 5000}}));  // no torn line
}

}  // namespace
}  // namespace pellmor
