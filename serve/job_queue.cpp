// The job queue: a thread per running job, the queue and its places under one mutex.
#include "serve/job_queue.h"

#include <algorithm>
#include <thread>


struct JobQueue::Record : JobControl {
  JobQueue* queue = nullptr;
  std::string id;
  size_t root = 0;
  JobWork work;
  JobState state = JobState::Queued;
  std::atomic<int> percent{0};
  std::atomic<bool> stop{false};
  std::string outcome;
  uint64_t version = 0;

  bool StopAsked() const override { return stop.load(); }
  const std::atomic<bool>& stopFlag() const override { return stop; }
  void Progress(int value) override {
    if (value == percent.load()) return;
    std::lock_guard<std::mutex> lock(queue->mutex_);
    percent = value;
    version = ++queue->version_;
    queue->changed_.notify_all();
  }
};

const char* job_state_name(JobState state) {
  switch (state) {
    case JobState::Queued: return "queued";
    case JobState::Running: return "running";
    case JobState::Done: return "done";
    case JobState::Failed: return "failed";
    case JobState::Stopped: return "stopped";
  }
  return "";
}

JobQueue::JobQueue(int perRoot) : perRoot_(perRoot < 1 ? 1 : perRoot) {}

JobQueue::~JobQueue() {
  std::unique_lock<std::mutex> lock(mutex_);
  closing_ = true;
  for (auto& [id, job] : jobs_) job->stop = true;
  changed_.wait(lock, [this] { return threads_ == 0; });
}

std::string JobQueue::Submit(size_t root, JobWork work) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto job = std::make_shared<Record>();
  job->queue = this;
  job->id = std::to_string(nextId_++);
  job->root = root;
  job->work = std::move(work);
  job->version = ++version_;
  jobs_[job->id] = job;
  order_.push_back(job->id);
  waiting_[root].push_back(job->id);
  Dispatch(root);
  Forget();
  changed_.notify_all();
  return job->id;
}

void JobQueue::Dispatch(size_t root) {
  std::deque<std::string>& queue = waiting_[root];
  while (!closing_ && running_[root] < perRoot_ && !queue.empty()) {
    std::shared_ptr<Record> job = jobs_[queue.front()];
    queue.pop_front();
    job->state = JobState::Running;
    job->version = ++version_;
    ++running_[root];
    ++threads_;
    // The job runs at the server's own priority, as `kerf cut` would: a lowered priority made a cut
    // wait behind every other program on a busy machine. Pictures keep their speed because a cut
    // gives way while one is being made (its work is told of them).
    std::thread([this, job] {
      JobEnd end;
      try {
        end = job->work(*job);
      } catch (...) {
        end = {JobState::Failed, R"({"message":"the cut failed unexpectedly","code":"failed"})"};
      }
      Finish(*job, end);
    }).detach();
  }
  // Everyone still waiting has moved up.
  for (const std::string& id : queue) jobs_[id]->version = ++version_;
}

void JobQueue::Finish(Record& job, const JobEnd& end) {
  std::lock_guard<std::mutex> lock(mutex_);
  job.state = end.state;
  job.outcome = end.outcome;
  job.work = nullptr;
  job.version = ++version_;
  --running_[job.root];
  --threads_;
  Dispatch(job.root);
  changed_.notify_all();
}

void JobQueue::Forget() {
  size_t ended = 0;
  for (const std::string& id : order_) {
    const JobState s = jobs_[id]->state;
    ended += s != JobState::Queued && s != JobState::Running;
  }
  for (auto it = order_.begin(); ended > kKeptJobs && it != order_.end();) {
    const JobState s = jobs_[*it]->state;
    if (s == JobState::Queued || s == JobState::Running) {
      ++it;
      continue;
    }
    jobs_.erase(*it);
    it = order_.erase(it);
    --ended;
  }
}

void JobQueue::Fill(const Record& job, JobView& view) const {
  view.id = job.id;
  view.root = job.root;
  view.state = job.state;
  view.percent = job.percent;
  view.outcome = job.outcome;
  view.version = job.version;
  view.queuePosition = 0;
  if (job.state != JobState::Queued) return;
  const auto& queue = waiting_.at(job.root);
  view.queuePosition = size_t(std::find(queue.begin(), queue.end(), job.id) - queue.begin()) + 1;
}

bool JobQueue::View(const std::string& id, JobView& view) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = jobs_.find(id);
  if (it == jobs_.end()) return false;
  Fill(*it->second, view);
  return true;
}

bool JobQueue::Stop(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = jobs_.find(id);
  if (it == jobs_.end()) return false;
  Record& job = *it->second;
  job.stop = true;
  if (job.state == JobState::Queued) {
    std::deque<std::string>& queue = waiting_[job.root];
    queue.erase(std::find(queue.begin(), queue.end(), id));
    job.state = JobState::Stopped;
    job.outcome = R"({"message":"stopped before it started","code":"stopped"})";
    job.work = nullptr;
    for (const std::string& other : queue) jobs_[other]->version = ++version_;
  }
  job.version = ++version_;
  changed_.notify_all();
  return true;
}

bool JobQueue::WaitChange(const std::string& id, uint64_t seen, int timeoutMs, JobView& view) const {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = jobs_.find(id);
  if (it == jobs_.end()) return false;
  std::shared_ptr<Record> job = it->second;
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return job->version != seen || closing_; });
  Fill(*job, view);
  return true;
}

size_t JobQueue::Pending(size_t root) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto w = waiting_.find(root);
  const auto r = running_.find(root);
  return (w == waiting_.end() ? 0 : w->second.size()) + size_t(r == running_.end() ? 0 : r->second);
}
