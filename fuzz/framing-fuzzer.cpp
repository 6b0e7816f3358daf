// Arbitrary bytes cut into arbitrary chunks through the line framing. The lines that come out must be
// exactly those of a plain split of the whole stream at the newline byte, minus the lines longer than
// the bound, whatever the chunking; the pending bytes never exceed the bound.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Support/LineFramer.h"

namespace {

constexpr std::size_t kBound = 64;  // small, so overlong lines are common

std::vector<std::string> referenceLines(std::string_view stream) {
  std::vector<std::string> lines;
  for (std::size_t newline = stream.find('\n'); newline != std::string_view::npos;
       newline = stream.find('\n')) {
    if (newline <= kBound) lines.emplace_back(stream.substr(0, newline));
    stream.remove_prefix(newline + 1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string stream = provider.ConsumeRandomLengthString(pellmor::LineFramer::defaultMaxLineBytes);
  pellmor::LineFramer framer(kBound);
  std::vector<std::string> lines;
  const auto collect = [&](std::string_view line) { lines.emplace_back(line); };

  std::string_view rest(stream);
  while (!rest.empty()) {
    const std::size_t length = provider.ConsumeIntegralInRange<std::size_t>(1, rest.size());
    framer.push(rest.substr(0, length), collect);
    rest.remove_prefix(length);
    if (framer.pendingSize() > kBound) std::abort();
  }
  if (lines != referenceLines(stream)) std::abort();
  for (const std::string& line : lines) {
    if (line.find('\n') != std::string::npos) std::abort();
  }
  return 0;
}
