// Long reads a client waits for by asking again (the scan of a recording, the commercial finder):
// the first ask starts the work on a thread of its own, every ask while it runs answers its per
// cent, and the result is handed to its cache when it ends. Work nobody has asked about for
// kAbandonMs is stopped (the page that wanted it has gone), as is work asked to stop. At most
// kMaxRunning run at once; more are refused until some end.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <time.h>

#include "plans/work_engine.h"
#include "serve/background_cache.h"

enum class PolledAsk { Running, Busy };

template <typename Result>
class PolledWork {
 public:
  static constexpr int kAbandonMs = 10000;
  static constexpr size_t kMaxRunning = 2;
  // The work: reports its per cent through progress, ends early when stop is set. Its result
  // goes to done (unless it was stopped, which keeps nothing).
  using Work = std::function<Result(const PercentCallback& progress, const std::atomic<bool>* stop)>;
  using Done = std::function<void(const FileKey& key, Result result)>;

  PolledWork() = default;
  ~PolledWork() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (auto& [key, task] : tasks_) task->stop = true;
    ended_.wait(lock, [this] { return tasks_.empty(); });
  }
  PolledWork(const PolledWork&) = delete;
  PolledWork& operator=(const PolledWork&) = delete;

  // Starts the work of key unless it runs already; percent is how far it has come.
  PolledAsk Start(const FileKey& key, Work work, Done done, int& percent) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = tasks_.find(key);
    if (it != tasks_.end()) {
      it->second->asked = now_ms();
      percent = it->second->percent;
      return PolledAsk::Running;
    }
    if (tasks_.size() >= kMaxRunning) return PolledAsk::Busy;
    auto task = std::make_shared<Task>();
    task->asked = now_ms();
    tasks_[key] = task;
    percent = 0;
    std::thread([this, key, task, work = std::move(work), done = std::move(done)] {
      lower_thread_priority();
      const PercentCallback progress = [&task](int value) {
        task->percent = value;
        if (now_ms() - task->asked > kAbandonMs) task->stop = true;
      };
      Result result = work(progress, &task->stop);
      if (!task->stop) done(key, std::move(result));
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.erase(key);
      ended_.notify_all();
    }).detach();
    return PolledAsk::Running;
  }
  // Stops the work of key; false when none runs.
  bool Stop(const FileKey& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = tasks_.find(key);
    if (it == tasks_.end()) return false;
    it->second->stop = true;
    return true;
  }

 private:
  struct Task {
    std::atomic<int> percent{0};
    std::atomic<bool> stop{false};
    std::atomic<int64_t> asked{0};
  };
  // The monotonic clock in milliseconds (<chrono> cannot be compiled with the Shift-JIS
  // execution character set the server's files use).
  static int64_t now_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  }

  std::mutex mutex_;
  std::condition_variable ended_;
  std::map<FileKey, std::shared_ptr<Task>> tasks_;
};
