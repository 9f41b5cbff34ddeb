// The measurement cache and its one worker thread (measuring reads two windows of a recording;
// one at a time keeps the disk free for cuts and pictures).
#include "serve/measure_cache.h"

#include <algorithm>

MeasureCache::MeasureCache(Measurer measure) : measure_(std::move(measure)), worker_([this] { Work(); }) {}

MeasureCache::~MeasureCache() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

bool MeasureCache::Get(const FileKey& key, RecordingFacts& facts) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = known_.find(key);
  if (it != known_.end()) {
    facts = it->second;
    return true;
  }
  if (waiting_.size() < kMaxWaiting && std::find(waiting_.begin(), waiting_.end(), key) == waiting_.end()) {
    waiting_.push_back(key);
    wake_.notify_all();
  }
  return false;
}

void MeasureCache::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
    if (closing_) return;
    const FileKey key = waiting_.front();
    lock.unlock();
    RecordingFacts facts = measure_(key);
    lock.lock();
    waiting_.pop_front();
    if (known_.emplace(key, std::move(facts)).second) age_.push_back(key);
    while (known_.size() > kCapacity) {
      known_.erase(age_.front());
      age_.pop_front();
    }
  }
}
