#pragma once
// lumet-cli as a child process, for the wire tests: the program this build
// made, with LUMET_SYSFS_ROOT pointing at a test's made-up sysfs tree.
//
//   CliResult r = RunLumetCli(tree.Root(), {"download", "--all", "--out", dir});
//   r.exit; r.out; r.err;
//
//   CliProcess watch(tree.Root(), {"watch", "--out", dir});   // runs on
//   watch.WaitForLine("came");                                 // a line holding it
//   watch.Stop();                                              // SIGTERM; its exit status
#include <csignal>
#include <string>
#include <vector>

struct CliResult {
  int exit = -1;  // -1: it did not end within its bound (it was killed)
  std::string out;
  std::string err;
};

// Runs lumet-cli to its end, at most boundMs.
CliResult RunLumetCli(const std::string& sysfsRoot, const std::vector<std::string>& arguments,
                      int boundMs = 60000);

class CliProcess {
 public:
  CliProcess(const std::string& sysfsRoot, const std::vector<std::string>& arguments);
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // The first line of stdout not read yet that holds text, or "" when none
  // comes within boundMs; the lines read meanwhile are in Lines().
  std::string WaitForLine(const std::string& text, int boundMs = 30000);
  const std::vector<std::string>& Lines() const { return lines_; }
  // SIGTERM (or the signal given: SIGINT is Ctrl-C), then the exit status
  // (-1 when it had not ended within boundMs and had to be killed).
  int Stop(int boundMs = 20000, int signal = SIGTERM);

 private:
  int pid_ = -1;
  int out_ = -1;
  std::string pending_;
  std::vector<std::string> lines_;
  std::size_t taken_ = 0;
};
