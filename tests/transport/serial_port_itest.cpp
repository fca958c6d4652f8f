// SerialPort on a real pseudo-terminal with kt52sim at the other end.
#include "transport/serial_port.h"

#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/sim_process.h"
#include "support/sysfs_tree.h"
#include "transport/tty_discovery.h"

namespace {
using Clock = std::chrono::steady_clock;

// Bounds on a loaded machine, well above twice the time each read takes: a
// read that must not wait (about 0 ms), and one that must end long before
// its 3000 ms total (the count is reached, or a 50 ms gap passes).
constexpr long NoWaitBoundMs = 500;
constexpr long EarlyEndBoundMs = 1500;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

bool OpenCom(SerialPort& port, std::uint32_t number, std::uint32_t flow = FlowNone) {
  return port.Open(number, 115200, 8, 0, 0, flow);
}

bool WriteText(SerialPort& port, const std::string& text) {
  return port.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Waits (up to five seconds) until the port has `count` bytes queued.
bool WaitForQueued(SerialPort& port, std::size_t count) {
  for (int i = 0; i < 500; ++i) {
    if (port.BytesWaiting() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// How many of this process's descriptors are open on the given tty.
int DescriptorsOn(const std::string& ttyPath) {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  while (dirent* entry = readdir(dir)) {
    char target[256] = {};
    std::string link = std::string("/proc/self/fd/") + entry->d_name;
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && ttyPath == target) ++count;
  }
  closedir(dir);
  return count;
}

kt52::DeviceOptions Scanner(std::uint8_t wakeAnswer) {
  kt52::DeviceOptions options;
  options.wake = {kt52::WakeAnswer::Byte, wakeAnswer};
  return options;
}

class SerialPortWire : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Started());
    ASSERT_TRUE(sim_.LinkAsCom(com_.Path(), 3));
  }

  // The one byte the scanner answers "*" with, or -1.
  int WakeAnswer() {
    if (!WriteText(port_, "*")) return -1;
    std::uint8_t answer = 0;
    return port_.Read(&answer, 1, 3000, 0) == 1 ? answer : -1;
  }

  ComFolder com_;
  SimProcess sim_{kt52::DeviceOptions{}};
  SerialPort port_;
};
}  // namespace

TEST_F(SerialPortWire, OpensByComNumberAndTalks) {
  ASSERT_TRUE(OpenCom(port_, 3));
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(WakeAnswer(), 0x06);
  EXPECT_EQ(sim_.ReceivedBytes(), std::vector<std::uint8_t>{'*'});
}

// Each row starts with COM3 open: a failed open leaves no port open.
TEST_F(SerialPortWire, OpensByPathAndTalks) {
  SysfsTree tree;
  tree.Scanner("ttyACM0");
  tree.Link("dev/ttyACM0", sim_.PtyPath());
  tree.Write("not-a-tty", "");
  const std::vector<TtyPort> found = FindScannerTtys(tree.Root());
  ASSERT_EQ(found.size(), 1u);
  const struct {
    const char* what;
    std::string path;
    PortOpen result;
    bool heldElsewhere = false;  // another port object, as another program, has it
  } cases[] = {
      {"the pty", sim_.PtyPath(), PortOpen::Opened},
      {"the port found under a made-up root", TtyOpenPath(tree.Root(), found[0]), PortOpen::Opened},
      {"a port another program holds", sim_.PtyPath(), PortOpen::InUse, true},
      {"held, through a link to it", TtyOpenPath(tree.Root(), found[0]), PortOpen::InUse, true},
      {"a missing path", tree.Root() + "/dev/ttyACM9", PortOpen::Failed},
      {"an empty path", "", PortOpen::Failed},
      {"a zero byte inside", sim_.PtyPath() + std::string(1, '\0') + "x", PortOpen::Failed},
      {"a file that is no tty", tree.Root() + "/not-a-tty", PortOpen::Failed},
  };
  for (const auto& c : cases) {
    const bool opens = c.result == PortOpen::Opened;
    SerialPort other;
    port_.Close();
    if (c.heldElsewhere)
      ASSERT_EQ(other.OpenPath(sim_.PtyPath(), 115200, 8, 0, 0, FlowNone), PortOpen::Opened);
    else
      ASSERT_TRUE(OpenCom(port_, 3)) << c.what;
    EXPECT_EQ(port_.OpenPath(c.path, 115200, 8, 0, 0, FlowNone), c.result) << c.what;
    EXPECT_EQ(port_.IsOpen(), opens) << c.what;
    EXPECT_EQ(DescriptorsOn(sim_.PtyPath()), opens || c.heldElsewhere ? 1 : 0) << c.what;
    if (opens) {
      EXPECT_EQ(WakeAnswer(), 0x06) << c.what;
    }
  }
}

TEST_F(SerialPortWire, FlowControlAboveSoftwareIsRefusedAndTheOpenPortStaysOpen) {
  ASSERT_TRUE(OpenCom(port_, 3));
  EXPECT_FALSE(OpenCom(port_, 3, 3));
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(WakeAnswer(), 0x06);
  EXPECT_TRUE(OpenCom(port_, 3, FlowSoftware));
  EXPECT_TRUE(OpenCom(port_, 3, FlowHardware));
}

TEST_F(SerialPortWire, MissingComNumberFailsAndLeavesThePortClosed) {
  ASSERT_TRUE(OpenCom(port_, 3));
  EXPECT_FALSE(OpenCom(port_, 9));
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(DescriptorsOn(sim_.PtyPath()), 0);
}

TEST_F(SerialPortWire, OpeningAnotherNumberClosesTheFirstPort) {
  SimProcess other(Scanner(0x41));
  ASSERT_TRUE(other.Started());
  ASSERT_TRUE(other.LinkAsCom(com_.Path(), 5));
  ASSERT_TRUE(OpenCom(port_, 3));
  EXPECT_EQ(DescriptorsOn(sim_.PtyPath()), 1);
  ASSERT_TRUE(OpenCom(port_, 5));
  EXPECT_EQ(DescriptorsOn(sim_.PtyPath()), 0);
  EXPECT_EQ(WakeAnswer(), 0x41);
  EXPECT_TRUE(sim_.ReceivedBytes().empty());
}

TEST_F(SerialPortWire, WritesNeedBytesAndAnOpenPort) {
  const std::uint8_t wake = '*';
  EXPECT_FALSE(port_.Write(&wake, 1));
  ASSERT_TRUE(OpenCom(port_, 3));
  EXPECT_FALSE(port_.Write(&wake, 0));
  EXPECT_EQ(WakeAnswer(), 0x06);  // the scanner saw only the one "*" of WakeAnswer
  EXPECT_EQ(sim_.ReceivedBytes(), std::vector<std::uint8_t>{'*'});
  port_.Close();
  EXPECT_FALSE(port_.Write(&wake, 1));
}

TEST_F(SerialPortWire, NoWaitReadTakesOnlyWhatIsQueued) {
  ASSERT_TRUE(OpenCom(port_, 3));
  std::uint8_t buffer[10] = {};
  Clock::time_point start = Clock::now();
  EXPECT_EQ(port_.Read(buffer, 10, 0, 0), 0u);
  EXPECT_LT(MsSince(start), NoWaitBoundMs);

  ASSERT_TRUE(WriteText(port_, "***"));
  ASSERT_TRUE(WaitForQueued(port_, 3));
  start = Clock::now();
  EXPECT_EQ(port_.Read(buffer, 10, 0, 0), 3u);
  EXPECT_LT(MsSince(start), NoWaitBoundMs);
  EXPECT_EQ(buffer[0], 0x06);
  EXPECT_EQ(buffer[2], 0x06);
}

TEST_F(SerialPortWire, TimedReadWithNothingArrivingReturnsZeroAfterTheTotal) {
  ASSERT_TRUE(OpenCom(port_, 3));
  std::uint8_t buffer[5] = {};
  Clock::time_point start = Clock::now();
  EXPECT_EQ(port_.Read(buffer, 5, 3000, 0), 0u);
  long elapsed = MsSince(start);
  EXPECT_GE(elapsed, 2990);
  EXPECT_LT(elapsed, 2 * 3000);
}

TEST_F(SerialPortWire, TimedReadEndsAtItsCountOrAtTheGapAfterTheLastByte) {
  ASSERT_TRUE(OpenCom(port_, 3));
  std::uint8_t buffer[100] = {};
  ASSERT_TRUE(WriteText(port_, "**"));
  Clock::time_point start = Clock::now();
  EXPECT_EQ(port_.Read(buffer, 2, 3000, 0), 2u);
  EXPECT_LT(MsSince(start), EarlyEndBoundMs);

  ASSERT_TRUE(WriteText(port_, "*"));
  start = Clock::now();
  EXPECT_EQ(port_.Read(buffer, 100, 3000, 50), 1u);
  EXPECT_LT(MsSince(start), EarlyEndBoundMs);
}

TEST_F(SerialPortWire, DiscardInputEmptiesTheQueue) {
  ASSERT_TRUE(OpenCom(port_, 3));
  ASSERT_TRUE(WriteText(port_, "*****"));
  ASSERT_TRUE(WaitForQueued(port_, 5));
  port_.DiscardInput();
  EXPECT_EQ(port_.BytesWaiting(), 0u);
  std::uint8_t byte = 0;
  EXPECT_EQ(port_.Read(&byte, 1, 0, 0), 0u);
}

TEST_F(SerialPortWire, DiscardInputEndsWhileTheLineKeepsSending) {
  kt52::DeviceOptions options;
  options.transport = kt52::Transport::Plain;
  options.generatedRecords = 100000;
  SimProcess streaming(options);
  ASSERT_TRUE(streaming.Started());
  ASSERT_TRUE(streaming.LinkAsCom(com_.Path(), 5));
  ASSERT_TRUE(OpenCom(port_, 5));
  ASSERT_TRUE(WriteText(port_, "$$%^0206"));  // megabytes of records, back to back
  ASSERT_TRUE(WaitForQueued(port_, 1024));
  Clock::time_point start = Clock::now();
  port_.DiscardInput();  // a bounded number of reads, not until the line falls quiet
  EXPECT_LT(MsSince(start), NoWaitBoundMs);
}

TEST_F(SerialPortWire, CloseTwiceAndReopenTheSameScanner) {
  ASSERT_TRUE(OpenCom(port_, 3));
  port_.Close();
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(DescriptorsOn(sim_.PtyPath()), 0);
  // The simulator outlives the host closing its line.
  ASSERT_TRUE(OpenCom(port_, 3));
  EXPECT_EQ(WakeAnswer(), 0x06);
}
