// Results kept per recording — measurements, scans, programme lists — by (root, path, size,
// modification time, programme), so a rewritten recording is worked out again. Bounded: the
// oldest result goes when the cache is full. A result can be asked for in the background (one
// worker thread, one recording at a time, keeping the disk free for cuts and pictures) or put
// by a request that worked it out itself.
#pragma once
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

// Puts the calling thread at a lower scheduling priority (nice 10, Linux threads have their own):
// long reads in the background — measurements, scans — then leave the cores to the requests a
// person waits for (pictures, lists), which on a small server share two cores with them. (Cuts,
// which a person also waits for, run at the server's priority and pause for pictures instead.)
inline void lower_thread_priority() { setpriority(PRIO_PROCESS, id_t(gettid()), 10); }

struct FileKey {
  size_t root = 0;
  std::string rest;
  double size = 0;
  int64_t modifiedNs = 0;
  int programme = 0;
  int64_t at = 0;      // a packet (pictures)
  int width = 0;       // a picture's width
  auto operator<=>(const FileKey&) const = default;
};

template <typename Value>
class BackgroundCache {
 public:
  // Recordings waiting for the worker; more are asked for again at a later request.
  static constexpr size_t kMaxWaiting = 256;

  BackgroundCache(size_t capacity, std::function<Value(const FileKey&)> make)
      : capacity_(capacity), make_(std::move(make)), worker_([this] { Work(); }) {}
  ~BackgroundCache() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    wake_.notify_all();
    worker_.join();
  }
  BackgroundCache(const BackgroundCache&) = delete;
  BackgroundCache& operator=(const BackgroundCache&) = delete;

  // The value when known.
  bool Find(const FileKey& key, Value& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = known_.find(key);
    if (it == known_.end()) return false;
    value = it->second;
    return true;
  }
  // The value when known; otherwise false, and it is worked out in the background.
  bool Get(const FileKey& key, Value& value) {
    if (Find(key, value)) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.size() < kMaxWaiting && std::find(waiting_.begin(), waiting_.end(), key) == waiting_.end()) {
      waiting_.push_back(key);
      wake_.notify_all();
    }
    return false;
  }
  void Put(const FileKey& key, Value value) {
    std::lock_guard<std::mutex> lock(mutex_);
    Keep(key, std::move(value));
  }

 private:
  void Keep(const FileKey& key, Value value) {
    if (known_.insert_or_assign(key, std::move(value)).second) age_.push_back(key);
    while (known_.size() > capacity_) {
      known_.erase(age_.front());
      age_.pop_front();
    }
  }
  void Work() {
    lower_thread_priority();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
      if (closing_) return;
      const FileKey key = waiting_.front();
      lock.unlock();
      Value value = make_(key);
      lock.lock();
      waiting_.pop_front();
      Keep(key, std::move(value));
    }
  }

  const size_t capacity_;
  std::function<Value(const FileKey&)> make_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<FileKey, Value> known_;
  std::deque<FileKey> age_;   // known_'s keys, oldest first
  std::deque<FileKey> waiting_;
  bool closing_ = false;
  std::thread worker_;        // last: it starts once everything above is made
};
