#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/sim_process.h"

#ifndef KT52SIM_PATH
#define KT52SIM_PATH "kt52sim"
#endif

extern char** environ;

namespace {
constexpr int StartTimeoutMs = 5000;
constexpr int StopTimeoutMs = 3000;

// In memory where the machine has it: the simulator writes its log and state
// for every message, and a disk's journal would slow the scanner down.
std::string MakeTempFolder(const char* stem) {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
  std::string pattern = std::string(base) + stem + ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  return mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
}

void RemoveFile(const std::string& path) {
  if (!path.empty()) unlink(path.c_str());
}

// The first line the child prints, or "" when none comes in time (a pty path
// is short: a longer line is no answer either).
std::string ReadFirstLine(int fd) {
  constexpr std::size_t LongestLine = 4096;
  std::string line;
  while (line.size() < LongestLine) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, StartTimeoutMs) <= 0) return "";
    char c = 0;
    if (read(fd, &c, 1) != 1) return "";
    if (c == '\n') return line;
    line += c;
  }
  return "";
}

int HexValue(const std::string& hex) {
  return static_cast<int>(std::strtol(hex.c_str(), nullptr, 16));
}
}  // namespace

SimProcess::SimProcess(const kt52::DeviceOptions& options,
                       const std::vector<std::string>& extraArguments) {
  folder_ = MakeTempFolder("kt52sim");
  if (folder_.empty()) return;
  logPath_ = folder_ + "/received.log";
  statePath_ = folder_ + "/state.txt";
  std::string recordsFile;
  if (!options.records.empty()) {
    recordsFile = folder_ + "/records.txt";
    std::ofstream(recordsFile, std::ios::binary) << kt52::FormatRecordLines(options.records);
  }
  kt52::DeviceOptions onCommandLine = options;
  onCommandLine.records.clear();
  std::vector<std::string> arguments = {KT52SIM_PATH};
  for (const std::string& a : kt52::DeviceArguments(onCommandLine, recordsFile))
    arguments.push_back(a);
  arguments.insert(arguments.end(), {"--log", logPath_, "--state", statePath_});
  arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, KT52SIM_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned == 0) {
    pid_ = pid;
    ptyPath_ = ReadFirstLine(out[0]);
  }
  close(out[0]);
}

SimProcess::~SimProcess() {
  Stop();
  for (const std::string& link : links_) RemoveFile(link);
  if (!folder_.empty()) {
    RemoveFile(logPath_);
    RemoveFile(statePath_);
    RemoveFile(folder_ + "/records.txt");
    rmdir(folder_.c_str());
  }
}

bool SimProcess::Stop() {
  if (pid_ <= 0) return false;
  kill(pid_, SIGTERM);
  int status = 0;
  bool ended = false;
  for (int waited = 0; waited < StopTimeoutMs; waited += 10) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      ended = true;
      break;
    }
    usleep(10000);
  }
  if (!ended) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool SimProcess::LinkAsCom(const std::string& folder, std::uint32_t number) {
  if (!Started()) return false;
  std::string link = folder + "/com" + std::to_string(number);
  unlink(link.c_str());
  if (symlink(ptyPath_.c_str(), link.c_str()) != 0) return false;
  links_.push_back(link);
  return true;
}

std::vector<std::vector<std::uint8_t>> SimProcess::ReceivedReads() const {
  std::vector<std::vector<std::uint8_t>> reads;
  std::ifstream log(logPath_);
  std::string line;
  while (std::getline(log, line)) {
    std::istringstream hex(line);
    std::vector<std::uint8_t> bytes;
    std::string byte;
    while (hex >> byte) bytes.push_back(static_cast<std::uint8_t>(HexValue(byte)));
    reads.push_back(bytes);
  }
  return reads;
}

std::vector<std::uint8_t> SimProcess::ReceivedBytes() const {
  std::vector<std::uint8_t> all;
  for (const auto& read : ReceivedReads()) all.insert(all.end(), read.begin(), read.end());
  return all;
}

std::string SimProcess::State(const std::string& name) const {
  std::ifstream state(statePath_);
  std::string line;
  while (std::getline(state, line))
    if (line.compare(0, name.size() + 1, name + " ") == 0) return line.substr(name.size() + 1);
  return "";
}

ComFolder::ComFolder() : path_(MakeTempFolder("lumet-com")) {
  if (const char* previous = std::getenv("LUMET_COM_FOLDER")) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  setenv("LUMET_COM_FOLDER", path_.c_str(), 1);
}

ComFolder::~ComFolder() {
  if (hadPrevious_)
    setenv("LUMET_COM_FOLDER", previous_.c_str(), 1);
  else
    unsetenv("LUMET_COM_FOLDER");
  if (path_.empty()) return;
  // Links left by whoever used the folder go with it.
  if (DIR* dir = opendir(path_.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") unlink((path_ + "/" + name).c_str());
    }
    closedir(dir);
  }
  rmdir(path_.c_str());
}
