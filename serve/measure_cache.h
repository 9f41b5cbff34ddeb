// What the list of recordings shows of each: its total time and programme names, measured once
// in the background and kept by (root, path, size, modification time), so a rewritten recording
// is measured again. The cache and the queue of recordings waiting to be measured are bounded.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FileKey {
  size_t root = 0;
  std::string rest;
  double size = 0;
  int64_t modifiedNs = 0;
  bool operator==(const FileKey&) const = default;
  bool operator<(const FileKey& o) const {
    if (root != o.root) return root < o.root;
    if (rest != o.rest) return rest < o.rest;
    if (size != o.size) return size < o.size;
    return modifiedNs < o.modifiedNs;
  }
};

struct RecordingFacts {
  bool measured = false;                  // false: it could not be measured
  int32_t totalMs = 0;
  std::vector<std::string> programmes;    // names, UTF-8
};

using Measurer = std::function<RecordingFacts(const FileKey& key)>;

class MeasureCache {
 public:
  static constexpr size_t kCapacity = 4096;    // recordings remembered (a few hundred bytes each)
  static constexpr size_t kMaxWaiting = 256;   // recordings waiting; more are asked for again later

  explicit MeasureCache(Measurer measure);
  ~MeasureCache();
  MeasureCache(const MeasureCache&) = delete;
  MeasureCache& operator=(const MeasureCache&) = delete;

  // The facts when known; otherwise false, and the recording is measured in the background.
  bool Get(const FileKey& key, RecordingFacts& facts);

 private:
  void Work();

  Measurer measure_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<FileKey, RecordingFacts> known_;
  std::deque<FileKey> age_;        // known_ in the order measured, oldest first
  std::deque<FileKey> waiting_;
  bool closing_ = false;
  std::thread worker_;
};
