#pragma once
// Lowers one resource limit of this process for a test's scope, POSIX only:
// RLIMIT_FSIZE stands for a full disk (writes beyond it fail with EFBIG; the
// SIGXFSZ that would end the process is ignored meanwhile), RLIMIT_NOFILE 0
// for a file that cannot be opened even by root.
#include <sys/resource.h>

#include <csignal>

class ResourceLimitScope {
 public:
  ResourceLimitScope(int resource, rlim_t limit) : resource_(resource) {
    getrlimit(resource_, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lowered = old_;
    lowered.rlim_cur = limit;
    setrlimit(resource_, &lowered);
  }
  ~ResourceLimitScope() {
    setrlimit(resource_, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  ResourceLimitScope(const ResourceLimitScope&) = delete;
  ResourceLimitScope& operator=(const ResourceLimitScope&) = delete;

 private:
  int resource_;
  struct rlimit old_ {};
  void (*oldHandler_)(int) = nullptr;
};
