// Incoming lines per second on one core: framing alone, and framing plus decoding plus applying, beside
// `cat` of the same byte stream into a pipe, the physical baseline.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "FIFOManager.h"
#include "Platform/MainThread.h"
#include "Support/LineFramer.h"

namespace {

constexpr int kLines = 100'000;
constexpr std::size_t kReadSize = 4096;  // what the reader asks for per read

// The mix a running main application sends.
std::string makeStream() {
  const std::string_view messages[] = {
      R"({"action":"showTimer","startedAt":1700000000.25,"hoursWithoutTimer":1.5})",
      R"({"action":"setTimeFormat","value":"decimal"})",
      R"({"action":"setDecimalSymbol","value":","})",
      R"({"action":"setAuthenticated","value":true})",
      R"({"action":"clearTimer"})",
      R"({"action":"setTimestampsMode","value":false})",
  };
  std::string stream;
  for (int i = 0; i < kLines; ++i) {
    stream += messages[i % std::size(messages)];
    stream += '\n';
  }
  return stream;
}

const std::string& stream() {
  static const std::string bytes = makeStream();
  return bytes;
}

template <typename OnLine>
void frameInReads(pellmor::LineFramer& framer, const OnLine& onLine) {
  std::string_view rest(stream());
  while (!rest.empty()) {
    const std::size_t length = std::min(kReadSize, rest.size());
    framer.push(rest.substr(0, length), onLine);
    rest.remove_prefix(length);
  }
}

void BM_Framing(benchmark::State& state) {
  pellmor::LineFramer framer;
  std::size_t lines = 0;
  const pellmor::LineFramer::LineHandler count = [&](std::string_view) { ++lines; };
  for (auto _ : state)
    frameInReads(framer, count);
  benchmark::DoNotOptimize(lines);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLines);
}
BENCHMARK(BM_Framing);

class InlineMainThread : public pellmor::platform::MainThread {
 public:
  void post(std::function<void()> task) override { task(); }
};

void BM_FramingDecodingApplying(benchmark::State& state) {
  std::string directory = (std::filesystem::temp_directory_path() / "pellmor-bench-XXXXXX").string();
  if (mkdtemp(directory.data()) == nullptr) state.SkipWithError("mkdtemp");
  InlineMainThread mainThread;
  {
    pellmor::FIFOManager::Environment environment;
    environment.containerLookup = [directory] { return std::optional<std::string>(directory); };
    environment.mainThread = &mainThread;
    environment.menubarPositionInfo = [] { return std::optional<pellmor::PositionRecord>(); };
    pellmor::FIFOManager channel(std::move(environment));
    pellmor::LineFramer framer;
    const pellmor::LineFramer::LineHandler apply = [&](std::string_view line) { channel.processLine(line); };
    for (auto _ : state)
      frameInReads(framer, apply);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLines);
    channel.stop();
  }
  std::filesystem::remove_all(directory);
}
BENCHMARK(BM_FramingDecodingApplying);

void BM_CatIntoPipe(benchmark::State& state) {
  const auto file = std::filesystem::temp_directory_path() / "pellmor-bench-stream.jsonl";
  std::ofstream(file, std::ios::binary) << stream();
  const std::string command = "cat '" + file.string() + "'";
  char buffer[kReadSize];
  for (auto _ : state) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
      state.SkipWithError("popen");
      break;
    }
    while (read(fileno(pipe), buffer, sizeof buffer) > 0) {
    }
    pclose(pipe);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLines);
  std::filesystem::remove(file);
}
BENCHMARK(BM_CatIntoPipe);

}  // namespace

BENCHMARK_MAIN();
