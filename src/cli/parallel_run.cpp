#include "cli/parallel_run.h"

#include <atomic>
#include <system_error>
#include <vector>

void RunEach(std::size_t count, std::size_t jobs, const std::function<void(std::size_t)>& work) {
  if (jobs == 0 || jobs > MaxJobs) jobs = MaxJobs;
  if (jobs > count) jobs = count;
  std::atomic<std::size_t> next{0};
  const auto serve = [&] {
    for (std::size_t i = next++; i < count; i = next++) work(i);
  };
  std::vector<std::thread> threads;
  threads.reserve(jobs);
  try {
    // This thread serves too, so jobs - 1 more are started.
    for (std::size_t k = 1; k < jobs; ++k) threads.emplace_back(serve);
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the ones there are take the rest.
  }
  serve();
  for (std::thread& thread : threads) thread.join();
}

std::mutex& KeyedLocks::For(const std::wstring& key) {
  std::lock_guard<std::mutex> guard(lock_);
  std::unique_ptr<std::mutex>& found = locks_[key];
  if (!found) found = std::make_unique<std::mutex>();
  return *found;
}

bool WorkerSet::Start(std::function<void()> work) {
  auto ended = std::make_shared<bool>(false);
  try {
    std::thread thread([this, ended, work = std::move(work)] {
      work();
      std::lock_guard<std::mutex> guard(lock_);
      *ended = true;
    });
    std::lock_guard<std::mutex> guard(lock_);
    workers_.push_back({std::move(thread), ended});
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

std::size_t WorkerSet::Reap() {
  std::list<Worker> done;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      auto at = it++;
      if (*at->ended) done.splice(done.end(), workers_, at);
    }
  }
  for (Worker& worker : done) worker.thread.join();
  std::lock_guard<std::mutex> guard(lock_);
  return workers_.size();
}

void WorkerSet::JoinAll() {
  std::list<Worker> all;
  {
    std::lock_guard<std::mutex> guard(lock_);
    all.swap(workers_);
  }
  for (Worker& worker : all) worker.thread.join();
}
