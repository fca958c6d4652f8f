#pragma once
// Several scanners served at once, each on a worker thread of its own, and
// the locks that keep what they share whole (an output file several scanners
// append to, the summary, the database connection).
#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The most scanners served together (--jobs).
inline constexpr std::size_t MaxJobs = 32;

// Runs work(0) ... work(count - 1), at most jobs of them at once (0: as many
// as there are, up to MaxJobs), and returns once every one has ended. When no
// thread can be started the rest run one after another on this one.
void RunEach(std::size_t count, std::size_t jobs, const std::function<void(std::size_t)>& work);

// One lock per key (an output file's path), made when first asked for and
// kept as long as this is.
class KeyedLocks {
 public:
  std::mutex& For(const std::wstring& key);

 private:
  std::mutex lock_;
  std::map<std::wstring, std::unique_ptr<std::mutex>> locks_;
};

// Workers started one by one as things arrive (watch), each ending on its
// own; the owner reaps the ended ones and waits for the rest at its end.
class WorkerSet {
 public:
  WorkerSet() = default;
  WorkerSet(const WorkerSet&) = delete;
  WorkerSet& operator=(const WorkerSet&) = delete;
  ~WorkerSet() { JoinAll(); }

  // False when no thread could be started (work did not run).
  bool Start(std::function<void()> work);
  // Joins the workers that have ended; how many still run.
  std::size_t Reap();
  void JoinAll();

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<bool> ended;
  };
  std::mutex lock_;  // guards every Worker's *ended
  std::list<Worker> workers_;
};
