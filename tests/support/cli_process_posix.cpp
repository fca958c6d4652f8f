#include "support/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#ifndef LUMET_CLI_PATH
#define LUMET_CLI_PATH "lumet-cli"
#endif

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

// The environment with LUMET_SYSFS_ROOT set to root.
std::vector<std::string> Environment(const std::string& root) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "LUMET_SYSFS_ROOT=", 17) != 0) env.emplace_back(*e);
  env.push_back("LUMET_SYSFS_ROOT=" + root);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> p;
  for (std::string& t : texts) p.push_back(t.data());
  p.push_back(nullptr);
  return p;
}

// Starts the program with stdout and stderr on pipes (err nullptr: stderr to
// /dev/null); the pid, or -1.
int Spawn(const std::string& root, const std::vector<std::string>& arguments, int& out, int* err) {
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return -1;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  if (err)
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  else
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = {LUMET_CLI_PATH};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env = Environment(root);
  std::vector<char*> argv = Pointers(args), envp = Pointers(env);
  pid_t pid = -1;
  if (posix_spawn(&pid, LUMET_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  out = outPipe[0];
  if (err)
    *err = errPipe[0];
  else
    close(errPipe[0]);
  return pid;
}

// Reads what is there on fd into text; false at its end.
bool Drain(int fd, std::string& text) {
  char buffer[4096];
  ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  return n > 0;
}

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Waits for the child; its exit status, or -1 after a kill at the bound.
int Reap(int pid, int boundMs) {
  const Clock::time_point start = Clock::now();
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (MsSince(start) > boundMs) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    usleep(10000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

CliResult RunLumetCli(const std::string& root, const std::vector<std::string>& arguments,
                      int boundMs) {
  CliResult result;
  int out = -1, err = -1;
  const int pid = Spawn(root, arguments, out, &err);
  if (pid < 0) {
    if (out >= 0) close(out);
    if (err >= 0) close(err);
    return result;
  }
  const Clock::time_point start = Clock::now();
  bool outOpen = true, errOpen = true;
  while ((outOpen || errOpen) && MsSince(start) < boundMs) {
    pollfd p[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    if (poll(p, 2, 100) <= 0) continue;
    if (p[0].revents && outOpen) outOpen = Drain(out, result.out);
    if (p[1].revents && errOpen) errOpen = Drain(err, result.err);
  }
  close(out);
  close(err);
  result.exit = Reap(pid, 1000);
  return result;
}

// Its stderr goes nowhere: unread, a full pipe would hold the program.
CliProcess::CliProcess(const std::string& root, const std::vector<std::string>& arguments) {
  pid_ = Spawn(root, arguments, out_, nullptr);
}

CliProcess::~CliProcess() {
  if (pid_ > 0) Stop(2000);
  if (out_ >= 0) close(out_);
}

std::string CliProcess::WaitForLine(const std::string& text, int boundMs) {
  const Clock::time_point start = Clock::now();
  for (;;) {
    for (; taken_ < lines_.size(); ++taken_)
      if (lines_[taken_].find(text) != std::string::npos) return lines_[taken_++];
    const long left = boundMs - MsSince(start);
    if (left <= 0 || out_ < 0) return "";
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    if (!Drain(out_, pending_)) return "";
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      lines_.push_back(pending_.substr(0, end));
      pending_.erase(0, end + 1);
    }
  }
}

int CliProcess::Stop(int boundMs, int signal) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  const int status = Reap(pid_, boundMs);
  pid_ = -1;
  return status;
}
