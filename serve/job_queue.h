// Cut jobs: each belongs to a root; at most perRoot of a root run at once, the rest wait in order
// and know their place. A job runs on a thread of its own, so answers to other requests never
// wait for it; it is stopped through a flag that its work reads.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum class JobState { Queued, Running, Done, Failed, Stopped };
const char* job_state_name(JobState state);

// What a running job's work sees: its stop flag, and where it reports progress.
class JobControl {
 public:
  virtual ~JobControl() = default;
  virtual bool StopAsked() const = 0;
  virtual void Progress(int percent) = 0;
  // The stop flag itself, for work that polls an atomic.
  virtual const std::atomic<bool>& stopFlag() const = 0;
};

// How a job's work ended: its state (Done, Failed or Stopped) and its outcome as JSON text.
struct JobEnd {
  JobState state = JobState::Done;
  std::string outcome = "{}";
};
using JobWork = std::function<JobEnd(JobControl&)>;

// A job as its observers see it at one moment.
struct JobView {
  std::string id;
  size_t root = 0;
  JobState state = JobState::Queued;
  int percent = 0;
  size_t queuePosition = 0;   // 1 = next to run; 0 when not waiting
  std::string outcome;        // once ended
  uint64_t version = 0;       // grows at every change
};

class JobQueue {
 public:
  // Finished jobs kept for their observers; older ones are forgotten.
  static constexpr size_t kKeptJobs = 200;

  explicit JobQueue(int perRoot);
  ~JobQueue();   // stops every job and waits for the running ones
  JobQueue(const JobQueue&) = delete;
  JobQueue& operator=(const JobQueue&) = delete;

  std::string Submit(size_t root, JobWork work);
  bool View(const std::string& id, JobView& view) const;
  // Stops a job: a waiting one leaves the queue at once, a running one is asked to stop. False
  // when there is no such job.
  bool Stop(const std::string& id);
  // Waits until the job has changed since version seen, or timeoutMs passed; false when there is
  // no such job.
  bool WaitChange(const std::string& id, uint64_t seen, int timeoutMs, JobView& view) const;
  // The root's jobs waiting or running (for refusing more than the queue may hold).
  size_t Pending(size_t root) const;

 private:
  struct Record;
  void Dispatch(size_t root);               // with mutex_ held
  void Finish(Record& job, const JobEnd& end);
  void Forget();                            // with mutex_ held
  void Fill(const Record& job, JobView& view) const;

  const int perRoot_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<std::string, std::shared_ptr<Record>> jobs_;
  std::vector<std::string> order_;                 // ids in the order submitted
  std::map<size_t, std::deque<std::string>> waiting_;
  std::map<size_t, int> running_;
  int threads_ = 0;
  uint64_t nextId_ = 1;
  uint64_t version_ = 0;
  bool closing_ = false;
};
