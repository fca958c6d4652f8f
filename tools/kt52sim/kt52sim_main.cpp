// kt52sim: serves a simulated KT52 on a pseudo-terminal (or a serial device)
// in real time. The first line of stdout is the path the host opens.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "kt52sim/kt52_device.h"
#include "sim_line.h"

namespace {
volatile std::sig_atomic_t StopRequested = 0;
void OnStopSignal(int) { StopRequested = 1; }

constexpr int PollMs = 100;
constexpr std::size_t OutboxLimit = 1 << 16;
constexpr int HungUpSleepUs = 50000;
// How long a line cut after so many download bytes stays up after its last
// byte went out: far longer than a host takes to read what its driver holds.
constexpr int LineCloseGraceMs = 500;
constexpr std::int64_t RecordsFileFirstScanOffset = -3600;

void InstallSignals() {
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTERM, &stop, nullptr);  // no SA_RESTART: poll returns at once
  sigaction(SIGINT, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
}

bool LoadRecords(kt52::SimOptions& options, std::string& error) {
  if (options.recordsFile.empty()) return true;
  std::ifstream file(options.recordsFile, std::ios::binary);
  if (!file) {
    error = "cannot read " + options.recordsFile;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  const kt52::DeviceTime first =
      kt52::FromSeconds(kt52::ToSeconds(options.device.clock) + RecordsFileFirstScanOffset);
  return kt52::ParseRecordLines(text.str(), first, options.device.records, error);
}

void LogRead(std::FILE* log, const std::uint8_t* bytes, std::size_t count) {
  if (!log) return;
  static const char Hex[] = "0123456789ABCDEF";
  std::string line;  // one write a read: the host waits for the answer behind it
  line.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    if (i) line += ' ';
    line += Hex[bytes[i] >> 4];
    line += Hex[bytes[i] & 15];
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), log);
  std::fflush(log);
}

using Clock = std::chrono::steady_clock;

// A line of the given baud rate, 8N1: ten bit times a byte. It lets out what it
// could have carried since the last turn, and no more than a UART's FIFO after
// a pause. Baud 0: no limit.
class LinePacer {
 public:
  explicit LinePacer(std::uint32_t baud) : bytesPerSecond_(baud / 10.0) {}
  bool Paced() const { return bytesPerSecond_ > 0; }
  std::size_t Allowance(Clock::time_point now) {
    if (!Paced()) return SIZE_MAX;
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    credit_ = std::min(Fifo, credit_ + seconds * bytesPerSecond_);
    return static_cast<std::size_t>(credit_);
  }
  void Spent(std::size_t bytes) {
    if (Paced()) credit_ -= static_cast<double>(bytes);
  }

 private:
  static constexpr double Fifo = 64;
  double bytesPerSecond_;
  double credit_ = 0;
  Clock::time_point last_ = Clock::now();
};

// Bytes waiting for the line. What was written is only counted, and dropped
// once it is half the queue: erasing each write's bytes from the front moved
// a whole download's rest for every few kilobytes sent.
struct Outbox {
  kt52::Bytes bytes;
  std::size_t sent = 0;
  bool empty() const { return sent == bytes.size(); }
  std::size_t waiting() const { return bytes.size() - sent; }
  void Add(const kt52::Bytes& more) {
    if (sent > bytes.size() / 2) {
      bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(sent));
      sent = 0;
    }
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  void clear() {
    bytes.clear();
    sent = 0;
  }
};

// Writes what the line takes now, at most limit bytes; the rest waits for the
// next turn. Returns the bytes written.
std::size_t WritePending(int fd, Outbox& pending, std::size_t limit) {
  std::size_t written = 0;
  while (!pending.empty() && written < limit) {
    const std::size_t left = pending.bytes.size() - pending.sent;
    ssize_t n = write(fd, pending.bytes.data() + pending.sent, std::min(left, limit - written));
    if (n > 0) {
      pending.sent += static_cast<std::size_t>(n);
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // full (EAGAIN) or no host on the line (EIO): try again later
  }
  if (pending.empty()) pending.clear();
  return written;
}

// Replaces the state file whole (written aside, then renamed), so a reader
// never sees half of it.
void WriteState(const std::string& path, const kt52::Kt52Device& device) {
  if (path.empty()) return;
  const std::string aside = path + ".new";
  {
    std::ofstream file(aside, std::ios::binary | std::ios::trunc);
    file << device.StateText();
    if (!file) return;
  }
  std::rename(aside.c_str(), path.c_str());
}

class Server {
 public:
  Server(const kt52::DeviceOptions& options, SimLine line, std::FILE* log, std::string statePath,
         std::uint32_t baud)
      : device_(options),
        line_(line),
        log_(log),
        statePath_(std::move(statePath)),
        pacer_(baud),
        crossingMs_(options.hangUpAfterBytes ? LineCloseGraceMs : 0) {
    WriteState(statePath_, device_);
  }

  void Run() {
    auto last = std::chrono::steady_clock::now();
    while (!StopRequested) {
      Turn();
      auto now = std::chrono::steady_clock::now();
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
      if (ms > 0) {
        device_.PassTime(static_cast<std::uint64_t>(ms));
        last += std::chrono::milliseconds(ms);
      }
    }
    CloseLine(line_);
  }

 private:
  void Turn() {
    if (line_.fd < 0) {  // closed by a fault: idle until stopped
      poll(nullptr, 0, PollMs);
      return;
    }
    // A paced line wakes every millisecond while it has bytes to send.
    const bool sending = !pending_.empty();
    const bool paced = pacer_.Paced();
    pollfd p{line_.fd, static_cast<short>(POLLIN | (sending && !paced ? POLLOUT : 0)), 0};
    int r = poll(&p, 1, sending && paced ? 1 : PollMs);
    if (r < 0) return;  // EINTR: the loop checks for a stop request
    bool hungUp = false;
    if (p.revents & POLLIN) {
      std::uint8_t buffer[4096];
      ssize_t n = read(line_.fd, buffer, sizeof buffer);
      if (n > 0) {
        LogRead(log_, buffer, static_cast<std::size_t>(n));
        const std::size_t commands = device_.Commands().size();
        device_.Receive(buffer, static_cast<std::size_t>(n));
        // Only a command changes what the state tells, and before its answer
        // can reach the host; a download's acknowledgements do not.
        if (device_.Commands().size() != commands) WriteState(statePath_, device_);
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        hungUp = true;
      }
    } else if (p.revents & (POLLHUP | POLLERR)) {
      hungUp = true;
    }
    if (hungUp) {
      OnHangUp();
      return;
    }
    connected_ = true;
    // What the line has not taken yet is bounded: a download that never ends
    // makes its next piece only when asked.
    if (pending_.waiting() < OutboxLimit) pending_.Add(device_.TakeOutput());
    pacer_.Spent(WritePending(line_.fd, pending_, pacer_.Allowance(Clock::now())));
    if (device_.LineClosed() && pending_.empty() && !device_.HasOutput()) CloseWhenCrossed();
  }

  // A closed line ends the host's side at once, dropping what it had not
  // read yet. A line cut after so many bytes of the download stays up until
  // those bytes have crossed it; one closed before a unit went out has
  // nothing in flight.
  void CloseWhenCrossed() {
    const auto now = Clock::now();
    if (!closeAt_) closeAt_ = now + std::chrono::milliseconds(crossingMs_);
    if (now >= *closeAt_) CloseLine(line_);
  }

  // No host has the pty open. Poll reports that at once, so sleep a little
  // instead of spinning; a new host starts a new conversation.
  void OnHangUp() {
    if (connected_) {
      device_.Reconnect();
      pending_.clear();
      connected_ = false;
    }
    usleep(HungUpSleepUs);
  }

  kt52::Kt52Device device_;
  SimLine line_;
  std::FILE* log_;
  std::string statePath_;
  LinePacer pacer_;
  Outbox pending_;
  bool connected_ = false;
  int crossingMs_;
  std::optional<Clock::time_point> closeAt_;
};
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  kt52::SimOptions options;
  std::string error;
  if (!ParseSimArguments(arguments, options, error) || !LoadRecords(options, error)) {
    std::fprintf(stderr, "kt52sim: %s\n\n%s", error.c_str(), kt52::UsageText());
    return 2;
  }
  if (options.help) {
    std::fputs(kt52::UsageText(), stdout);
    return 0;
  }
  InstallSignals();

  SimLine line;
  bool opened = options.devicePath.empty() ? OpenPtyLine(line, error)
                                           : OpenDeviceLine(options.devicePath, line, error);
  if (!opened || (!options.linkPath.empty() && !MakeLink(line.path, options.linkPath, error))) {
    std::fprintf(stderr, "kt52sim: %s\n", error.c_str());
    return 1;
  }
  std::FILE* log = nullptr;
  if (!options.logPath.empty() && !(log = std::fopen(options.logPath.c_str(), "w"))) {
    std::fprintf(stderr, "kt52sim: cannot write %s\n", options.logPath.c_str());
    return 1;
  }
  // The state file exists before the path is printed: whoever waits for the
  // path may read it at once.
  Server server(options.device, line, log, options.statePath, options.baud);
  std::printf("%s\n", line.path.c_str());
  std::fflush(stdout);
  server.Run();
  if (log) std::fclose(log);
  if (!options.linkPath.empty()) unlink(options.linkPath.c_str());
  return 0;
}
