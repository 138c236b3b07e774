#include "kernels/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace asmpic {

namespace {

thread_local bool tIsWorker = false;

class WorkerPool {
 public:
  WorkerPool() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    try {
      for (unsigned i = 1; i < cores; ++i)
        workers_.emplace_back([this](std::stop_token stop) { Work(stop); });
    } catch (...) {
      // Fewer threads than cores could be had: the pool works with those it has.
    }
  }

  ~WorkerPool() {
    {
      // Under the lock, so that no worker can miss the stop between its check and its wait.
      std::lock_guard lock(mutex_);
      for (auto& worker : workers_) worker.request_stop();
    }
    wake_.notify_all();
  }

  int size() const { return static_cast<int>(workers_.size()) + 1; }

  // Runs tasks 0..count-1 of `task` here and on the workers. Returns false, having run nothing,
  // when another caller holds the pool.
  bool TryRun(int count, const std::function<void(int)>& task) {
    std::unique_lock busy(busy_, std::try_to_lock);
    if (!busy.owns_lock()) return false;
    {
      std::lock_guard lock(mutex_);
      task_ = &task;
      count_ = count;
      next_ = 0;
      unfinished_ = count;
      ++generation_;
    }
    wake_.notify_all();
    RunTasks();
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return unfinished_ == 0; });
    task_ = nullptr;
    return true;
  }

 private:
  // Takes tasks of the current job until none is left.
  void RunTasks() {
    for (;;) {
      int index;
      const std::function<void(int)>* task;
      {
        std::lock_guard lock(mutex_);
        if (task_ == nullptr || next_ >= count_) return;
        index = next_++;
        task = task_;
      }
      (*task)(index);
      std::lock_guard lock(mutex_);
      if (--unfinished_ == 0) done_.notify_all();
    }
  }

  void Work(std::stop_token stop) {
    tIsWorker = true;
    std::uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stop.stop_requested() || generation_ != seen; });
        if (stop.stop_requested()) return;
        seen = generation_;
      }
      RunTasks();
    }
  }

  std::mutex busy_;  // held by the one caller whose job the pool runs
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const std::function<void(int)>* task_ = nullptr;
  int count_ = 0;
  int next_ = 0;
  int unfinished_ = 0;
  std::uint64_t generation_ = 0;
  std::vector<std::jthread> workers_;  // last, so the threads stop before the rest goes
};

WorkerPool& Pool() {
  static WorkerPool pool;
  return pool;
}

}  // namespace

namespace {
std::atomic<int> gMaxBands{0};  // 0: no cap
}  // namespace

int BandsForPixels(std::int64_t pixels) {
  if (pixels < kParallelPixels) return 1;
  const int cap = gMaxBands.load();
  return cap > 0 ? std::min(cap, Pool().size()) : Pool().size();
}

void SetMaxBands(int bands) {
  gMaxBands.store(std::max(bands, 0));
}

void RunInBands(std::int64_t first, std::int64_t last, int bands,
                const std::function<void(std::int64_t from, std::int64_t to)>& work) {
  const std::int64_t count = last - first + 1;
  if (count <= 0) return;
  const std::int64_t parts = std::clamp<std::int64_t>(bands, 1, count);
  const auto start = [&](std::int64_t b) { return first + count * b / parts; };
  const std::function<void(int)> band = [&](int b) { work(start(b), start(b + 1) - 1); };
  if (parts > 1 && !tIsWorker && Pool().TryRun(static_cast<int>(parts), band)) return;
  for (std::int64_t b = 0; b < parts; ++b) band(static_cast<int>(b));
}

}  // namespace asmpic
