// Incoming lines per second on one core, each against a baseline measured alternately with it in the
// same loop, on the thread's own CPU time (time spent waiting for a core does not count):
//   framing                          against a bare newline scan of the same 4096-byte reads;
//   framing + UTF-8 check + decoding + applying   against nlohmann::json parsing the same lines alone.
// Each repetition reports the ratio of the two rates; the repetitions give its minimum, median and maximum.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BenchStatistics.h"
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

std::vector<std::string_view> linesOfStream() {
  std::vector<std::string_view> lines;
  std::string_view rest(stream());
  for (auto newline = rest.find('\n'); newline != std::string_view::npos; newline = rest.find('\n')) {
    lines.push_back(rest.substr(0, newline));
    rest.remove_prefix(newline + 1);
  }
  return lines;
}

// Seconds of CPU this thread has used.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double cpuSecondsOf(const std::function<void()>& pass) {
  const double start = threadSeconds();
  pass();
  return threadSeconds() - start;
}

// Runs the measured pass and its baseline alternately and reports both rates and their ratio.
void measureAgainstBaseline(benchmark::State& state, const std::function<void()>& measured,
                            const std::function<void()>& baseline) {
  double measuredSeconds = 0;
  double baselineSeconds = 0;
  for (auto _ : state) {
    baselineSeconds += cpuSecondsOf(baseline);
    measuredSeconds += cpuSecondsOf(measured);
  }
  const double lines = static_cast<double>(state.iterations()) * kLines;
  state.counters["lines_per_s"] = lines / measuredSeconds;
  state.counters["baseline_lines_per_s"] = lines / baselineSeconds;
  state.counters["ratio"] = baselineSeconds / measuredSeconds;
}

template <typename OnChunk>
void inReads(const OnChunk& onChunk) {
  std::string_view rest(stream());
  while (!rest.empty()) {
    const std::size_t length = std::min(kReadSize, rest.size());
    onChunk(rest.substr(0, length));
    rest.remove_prefix(length);
  }
}

void BM_FramingAgainstNewlineScan(benchmark::State& state) {
  pellmor::LineFramer framer;
  std::size_t lines = 0;
  const pellmor::LineFramer::LineHandler count = [&](std::string_view) { ++lines; };
  const auto framing = [&] { inReads([&](std::string_view chunk) { framer.push(chunk, count); }); };
  const auto scan = [&] {
    inReads([&](std::string_view chunk) {
      for (auto newline = chunk.find('\n'); newline != std::string_view::npos;
           newline = chunk.find('\n', newline + 1))
        ++lines;
    });
  };
  measureAgainstBaseline(state, framing, scan);
  benchmark::DoNotOptimize(lines);
}

class InlineMainThread : public pellmor::platform::MainThread {
 public:
  void post(std::function<void()> task) override { task(); }
};

void BM_DecodingApplyingAgainstJsonParse(benchmark::State& state) {
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
    const std::vector<std::string_view> lines = linesOfStream();
    std::size_t objects = 0;
    const auto decodingApplying = [&] {
      inReads([&](std::string_view chunk) { framer.push(chunk, apply); });
    };
    const auto parsing = [&] {
      for (const std::string_view line : lines)
        objects += nlohmann::json::parse(line).size();
    };
    measureAgainstBaseline(state, decodingApplying, parsing);
    benchmark::DoNotOptimize(objects);
    channel.stop();
  }
  std::filesystem::remove_all(directory);
}

void withRepetitions(benchmark::internal::Benchmark* benchmark) {
  benchmark->Repetitions(7)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", pellmor::bench::minimum)
      ->ComputeStatistics("max", pellmor::bench::maximum);
}
BENCHMARK(BM_FramingAgainstNewlineScan)->Apply(withRepetitions);
BENCHMARK(BM_DecodingApplyingAgainstJsonParse)->Apply(withRepetitions);

}  // namespace

BENCHMARK_MAIN();
