// Latency from a peer's write into "/from_main.fifo" until the change is applied on the main thread,
// against a baseline with the same three hand-offs and nothing else: a thread that waits in poll on a
// pipe, reads one byte and posts a task to the same main thread, which wakes the peer. The two are
// sampled alternately in one loop, so both see the same load; each repetition reports the ratio of
// their medians (and of their 99th percentiles), and the repetitions give its minimum, median and maximum.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "BenchStatistics.h"
#include "FIFOManager.h"
#include "Platform/MainThread.h"

namespace {

using Clock = std::chrono::steady_clock;

// A main thread of its own: runs posted tasks in order until destroyed.
class BenchMainThread : public pellmor::platform::MainThread {
 public:
  BenchMainThread() : thread_([this] { loop(); }) {}
  ~BenchMainThread() override {
    post({});
    thread_.join();
  }

  void post(std::function<void()> task) override {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
  }

 private:
  void loop() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return !tasks_.empty(); });
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      if (!task) return;
      task();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::thread thread_;
};

// What the peer waits on: a count the main thread raises.
class AppliedCount {
 public:
  void raise() {
    count_.fetch_add(1, std::memory_order_release);
    count_.notify_one();
  }
  std::uint64_t now() const { return count_.load(std::memory_order_acquire); }
  void waitPast(std::uint64_t before) const { count_.wait(before, std::memory_order_acquire); }

 private:
  std::atomic<std::uint64_t> count_ = 0;
};

// The baseline's reader: poll and a one-byte read on a pipe, then a post to the main thread.
class BareRelay {
 public:
  BareRelay(pellmor::platform::MainThread& mainThread, AppliedCount& applied) {
    if (pipe(pipe_) != 0) std::abort();
    thread_ = std::thread([this, &mainThread, &applied] {
      char byte;
      pollfd readable{pipe_[0], POLLIN, 0};
      while (poll(&readable, 1, -1) == 1 && read(pipe_[0], &byte, 1) == 1)
        mainThread.post([&applied] { applied.raise(); });
    });
  }
  ~BareRelay() {
    close(pipe_[1]);
    thread_.join();
    close(pipe_[0]);
  }
  int writeEnd() const { return pipe_[1]; }

 private:
  int pipe_[2];
  std::thread thread_;
};

double microsecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Writes `bytes` to `descriptor` and returns how long until the main thread raised `applied`.
double sample(int descriptor, std::string_view bytes, AppliedCount& applied) {
  const std::uint64_t before = applied.now();
  const auto start = Clock::now();
  if (write(descriptor, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
  applied.waitPast(before);
  return microsecondsSince(start);
}

void BM_WriteToAppliedAgainstBareHandOffs(benchmark::State& state) {
  std::string directory = (std::filesystem::temp_directory_path() / "pellmor-bench-XXXXXX").string();
  if (mkdtemp(directory.data()) == nullptr) state.SkipWithError("mkdtemp");
  BenchMainThread mainThread;
  AppliedCount channelApplied;
  AppliedCount relayApplied;
  {
    pellmor::FIFOManager::Environment environment;
    environment.containerLookup = [directory] { return std::optional<std::string>(directory); };
    environment.mainThread = &mainThread;
    environment.menubarPositionInfo = [] { return std::optional<pellmor::PositionRecord>(); };
    pellmor::FIFOManager channel(std::move(environment));
    pellmor::Subscription counting;
    std::atomic<bool> subscribed = false;
    mainThread.post([&] {
      counting = channel.objectWillChange().subscribe([&] { channelApplied.raise(); });
      subscribed = true;
    });
    while (!subscribed)
      std::this_thread::yield();
    BareRelay relay(mainThread, relayApplied);

    const int writer = open(channel.fromMainPath().c_str(), O_WRONLY);
    const std::string line = R"({"action":"setTimestampsMode","value":true})"
                             "\n";
    std::vector<double> channelSamples;
    std::vector<double> baselineSamples;
    for (auto _ : state) {
      baselineSamples.push_back(sample(relay.writeEnd(), "x", relayApplied));
      channelSamples.push_back(sample(writer, line, channelApplied));
    }
    close(writer);
    const double channelP50 = pellmor::bench::percentile(channelSamples, 0.50);
    const double baselineP50 = pellmor::bench::percentile(baselineSamples, 0.50);
    const double channelP99 = pellmor::bench::percentile(channelSamples, 0.99);
    const double baselineP99 = pellmor::bench::percentile(baselineSamples, 0.99);
    state.counters["p50_us"] = channelP50;
    state.counters["p99_us"] = channelP99;
    state.counters["bare_p50_us"] = baselineP50;
    state.counters["bare_p99_us"] = baselineP99;
    state.counters["p50_ratio"] = channelP50 / baselineP50;
    state.counters["p99_ratio"] = channelP99 / baselineP99;
    channel.stop();
    std::atomic<bool> released = false;
    mainThread.post([&] {
      counting.reset();
      released = true;
    });
    while (!released)
      std::this_thread::yield();
  }
  std::filesystem::remove_all(directory);
}
BENCHMARK(BM_WriteToAppliedAgainstBareHandOffs)
    ->Iterations(10000)
    ->Repetitions(7)
    ->UseRealTime()
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", pellmor::bench::minimum)
    ->ComputeStatistics("max", pellmor::bench::maximum);

}  // namespace

BENCHMARK_MAIN();
