// SerialPort on a POSIX tty: raw 115200 8N1 through termios, time-outs with
// poll, the queue count with FIONREAD. Results and time-outs match the Win32
// port, so the protocol runs unchanged against a pty.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>

#include "transport/serial_port.h"

namespace {
int Fd(void* handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)); }
void* Handle(int fd) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)); }

speed_t SpeedFor(std::uint32_t baud) {
  switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return 0;
  }
}

using Clock = std::chrono::steady_clock;

// A write the line does not take within this long has failed.
constexpr int WriteStallMs = 3000;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

enum class Readiness { Quiet, Readable, Broken };

// Waits up to ms for input. A hang-up (the other end gone) or an error on the
// descriptor is Broken even while unread bytes remain: those are read first.
Readiness WaitReadable(int fd, long ms) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    int r = poll(&p, 1, static_cast<int>(ms));
    if (r > 0) {
      if (p.revents & POLLIN) return Readiness::Readable;
      return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) ? Readiness::Broken : Readiness::Quiet;
    }
    if (r == 0) return Readiness::Quiet;
    if (errno != EINTR) return Readiness::Broken;
  }
}
}  // namespace

SerialPort::SerialPort() : handle_(Handle(-1)), event_(nullptr) {}

SerialPort::~SerialPort() { Close(); }

std::string SerialPort::DevicePath(std::uint32_t portNumber) {
  const char* folder = std::getenv("LUMET_COM_FOLDER");
  std::string path = (folder && *folder) ? folder : "/dev/lumet";
  return path + "/com" + std::to_string(portNumber);
}

// One program a port: a second one would send its wake-ups and
// acknowledgements into this one's download. The lock holds for root too,
// which the tty's exclusive mode does not; that mode also keeps out programs
// that take no lock.
PortOpen SerialPort::OpenDevice(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY ? PortOpen::InUse : PortOpen::Failed;
  int locked;
  do {
    locked = flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? PortOpen::InUse : PortOpen::Failed;
  }
  ioctl(fd, TIOCEXCL);  // a device that has no exclusive mode still works
  handle_ = Handle(fd);
  return PortOpen::Opened;
}

bool SerialPort::ClearTimeouts() { return SetReadTimeouts(0, 0, 0); }

void SerialPort::PurgeQueues() { tcflush(Fd(handle_), TCIOFLUSH); }

void SerialPort::Close() {
  if (!IsOpen()) return;
  ioctl(Fd(handle_), TIOCNXCL);  // the next program to open it is not kept out
  ::close(Fd(handle_));
  handle_ = Handle(-1);
}

bool SerialPort::IsOpen() const { return Fd(handle_) >= 0; }

// A tty's queues are the kernel's; there is nothing to size.
bool SerialPort::SetQueueSizes(std::uint32_t, std::uint32_t) { return IsOpen(); }

// Time-outs are applied per read with poll; nothing is kept on the tty.
bool SerialPort::SetReadTimeouts(std::uint32_t, std::uint32_t, std::uint32_t) { return IsOpen(); }

bool SerialPort::SetLineFormat(std::uint32_t baudRate, std::uint8_t dataBits,
                               std::uint8_t stopBits, std::uint8_t parity) {
  int fd = Fd(handle_);
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  speed_t speed = SpeedFor(baudRate);
  if (speed == 0) return false;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD);
  switch (dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return false;
  }
  if (stopBits == 2) t.c_cflag |= CSTOPB;          // TWOSTOPBITS
  if (parity == 1) t.c_cflag |= PARENB | PARODD;   // ODDPARITY
  if (parity == 2) t.c_cflag |= PARENB;            // EVENPARITY
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool SerialPort::SetFlowControl(std::uint32_t flowControl) {
  int fd = Fd(handle_);
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  if (flowControl == FlowHardware) t.c_cflag |= CRTSCTS;
  if (flowControl == FlowSoftware) t.c_iflag |= IXON | IXOFF;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::size_t SerialPort::BytesWaiting() {
  if (!IsOpen()) return 0;
  int n = 0;
  if (ioctl(Fd(handle_), FIONREAD, &n) != 0 || n < 0) return 0;
  return static_cast<std::size_t>(n);
}

bool SerialPort::Write(const std::uint8_t* bytes, std::size_t length) {
  if (!IsOpen() || length == 0) return false;
  int fd = Fd(handle_);
  std::size_t written = 0;
  while (written < length) {
    ssize_t r = ::write(fd, bytes + written, length - written);
    if (r > 0) {
      written += static_cast<std::size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      // A line that takes nothing for this long is stuck, not slow.
      int ready = poll(&p, 1, WriteStallMs);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) break;
      continue;
    }
    break;
  }
  if (written == length) return true;
  NoteFault(LinkFault::Broken);
  return false;
}

std::size_t SerialPort::Read(std::uint8_t* buffer, std::size_t count, std::uint32_t totalTimeoutMs,
                             std::uint32_t intervalTimeoutMs) {
  if (!IsOpen() || count == 0) return 0;
  int fd = Fd(handle_);
  if (totalTimeoutMs == 0) {
    std::size_t waiting = BytesWaiting();
    if (waiting == 0) {
      if (WaitReadable(fd, 0) == Readiness::Broken) NoteFault(LinkFault::Broken);
      return 0;
    }
    if (count > waiting) count = waiting;
    ssize_t r = ::read(fd, buffer, count);
    if (r > 0) return static_cast<std::size_t>(r);
    if (r == 0 || (errno != EAGAIN && errno != EINTR)) NoteFault(LinkFault::Broken);
    return 0;
  }
  Clock::time_point start = Clock::now();
  Clock::time_point lastByte = start;
  std::size_t got = 0;
  while (got < count) {
    long left = static_cast<long>(totalTimeoutMs) - MsSince(start);
    if (left <= 0 || StopSet()) break;
    if (StopWatched() && left > StopSliceMs) left = StopSliceMs;
    if (got > 0 && intervalTimeoutMs) {
      long gapLeft = static_cast<long>(intervalTimeoutMs) - MsSince(lastByte);
      if (gapLeft <= 0) break;
      if (gapLeft < left) left = gapLeft;
    }
    Readiness ready = WaitReadable(fd, left);
    if (ready == Readiness::Quiet) continue;  // the loop re-checks both limits
    ssize_t r = ready == Readiness::Readable ? ::read(fd, buffer + got, count - got) : 0;
    if (r > 0) {
      got += static_cast<std::size_t>(r);
      lastByte = Clock::now();
    } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
      // Hang-up or error (EIO once a USB port is gone): the caller learns it
      // from TakeFault. The window is still waited out, without spinning, so
      // that timing does not depend on how the line failed.
      NoteFault(LinkFault::Broken);
      long rest = static_cast<long>(totalTimeoutMs) - MsSince(start);
      if (got == 0 && rest > 0) usleep(static_cast<useconds_t>(rest) * 1000);
      break;
    }
  }
  return got;
}
