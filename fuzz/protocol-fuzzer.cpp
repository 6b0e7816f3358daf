// Arbitrary lines through decoding and handleMessage, with the channel's invariants checked after each.

#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "FIFOManager.h"
#include "Platform/MainThread.h"

namespace {

// Runs posted tasks at once: the fuzzer is single-threaded, so the "main thread" is the caller.
class InlineMainThread : public pellmor::platform::MainThread {
 public:
  void post(std::function<void()> task) override { task(); }
};

std::string makeContainer() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pellmor-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

pellmor::FIFOManager& channel() {
  static InlineMainThread mainThread;
  static pellmor::FIFOManager* instance = [] {
    pellmor::FIFOManager::Environment environment;
    const std::string container = makeContainer();
    environment.containerLookup = [container] { return std::optional<std::string>(container); };
    environment.mainThread = &mainThread;
    // No position: nothing is queued for a reader that never comes.
    environment.menubarPositionInfo = [] { return std::optional<pellmor::PositionRecord>(); };
    return new pellmor::FIFOManager(std::move(environment));
  }();
  return *instance;
}

void checkInvariants(const pellmor::FIFOManager& fifo) {
  const std::string& format = fifo.timeFormat();
  const std::string& symbol = fifo.decimalSymbol();
  if (format != "hours_minutes" && format != "decimal") std::abort();
  if (symbol != "." && symbol != ",") std::abort();
  if (fifo.timerStartedAt() && !std::isfinite(*fifo.timerStartedAt())) std::abort();
  if (fifo.hoursWithoutTimer() && !std::isfinite(*fifo.hoursWithoutTimer())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pellmor::FIFOManager& fifo = channel();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // processLine takes a line the reader has already cut; no newline reaches it.
  if (input.find('\n') != std::string_view::npos) return 0;
  fifo.processLine(input);
  checkInvariants(fifo);
  return 0;
}
