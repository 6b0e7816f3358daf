// Latency from a peer's write into "/from_main.fifo" to the change applied on the main thread, beside a
// raw pipe round trip between two threads measured in the same run.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

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

struct Percentiles {
  double p50 = 0;
  double p99 = 0;
};

Percentiles percentiles(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  auto at = [&](double fraction) {
    return samples[static_cast<std::size_t>(fraction * (samples.size() - 1))];
  };
  return {at(0.50), at(0.99)};
}

void report(benchmark::State& state, const std::vector<double>& microseconds) {
  const Percentiles figures = percentiles(microseconds);
  state.counters["p50_us"] = figures.p50;
  state.counters["p99_us"] = figures.p99;
}

void BM_RawPipeRoundTrip(benchmark::State& state) {
  int there[2];
  int back[2];
  if (pipe(there) != 0 || pipe(back) != 0) state.SkipWithError("pipe");
  std::thread echo([&] {
    char byte;
    while (read(there[0], &byte, 1) == 1) {
      if (write(back[1], &byte, 1) != 1) break;
    }
  });
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = Clock::now();
    char byte = 'x';
    if (write(there[1], &byte, 1) != 1 || read(back[0], &byte, 1) != 1) state.SkipWithError("pipe");
    samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  close(there[1]);
  echo.join();
  close(there[0]);
  close(back[0]);
  close(back[1]);
  report(state, samples);
}
BENCHMARK(BM_RawPipeRoundTrip)->Iterations(20000)->UseRealTime();

void BM_WriteToAppliedOnMainThread(benchmark::State& state) {
  std::string directory = (std::filesystem::temp_directory_path() / "pellmor-bench-XXXXXX").string();
  if (mkdtemp(directory.data()) == nullptr) state.SkipWithError("mkdtemp");
  BenchMainThread mainThread;
  std::atomic<std::uint64_t> applied = 0;
  {
    pellmor::FIFOManager::Environment environment;
    environment.containerLookup = [directory] { return std::optional<std::string>(directory); };
    environment.mainThread = &mainThread;
    environment.menubarPositionInfo = [] { return std::optional<pellmor::PositionRecord>(); };
    pellmor::FIFOManager channel(std::move(environment));
    pellmor::Subscription counting;
    std::atomic<bool> subscribed = false;
    mainThread.post([&] {
      counting = channel.objectWillChange().subscribe([&] {
        applied.fetch_add(1, std::memory_order_release);
        applied.notify_one();
      });
      subscribed = true;
    });
    while (!subscribed)
      std::this_thread::yield();

    const int writer = open(channel.fromMainPath().c_str(), O_WRONLY);
    const std::string line = R"({"action":"setTimestampsMode","value":true})"
                             "\n";
    std::vector<double> samples;
    for (auto _ : state) {
      const std::uint64_t before = applied.load(std::memory_order_acquire);
      const auto start = Clock::now();
      if (write(writer, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        state.SkipWithError("write");
      applied.wait(before, std::memory_order_acquire);
      samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    close(writer);
    report(state, samples);
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
BENCHMARK(BM_WriteToAppliedOnMainThread)->Iterations(20000)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
