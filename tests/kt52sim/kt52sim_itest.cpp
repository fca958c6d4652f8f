// The kt52sim program itself: its line, its link, its records file, its end.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "support/sim_process.h"
#include "transport/serial_port.h"

namespace {
bool IsSymlink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Sends a bare plain-mode command and returns what came back within a second.
std::string PlainExchange(SerialPort& port, const std::string& command) {
  port.Write(reinterpret_cast<const std::uint8_t*>(command.data()), command.size());
  std::string reply(20000, '\0');
  std::size_t n = port.Read(reinterpret_cast<std::uint8_t*>(reply.data()), reply.size(), 1000, 100);
  reply.resize(n);
  return reply;
}
}  // namespace

TEST(Kt52SimProgram, LinksItsPtyAndRemovesTheLinkWhenStopped) {
  ComFolder com;
  const std::string link = com.Path() + "/com7";
  SimProcess sim(kt52::DeviceOptions{}, {"--link", link});
  ASSERT_TRUE(sim.Started());
  EXPECT_TRUE(IsSymlink(link));
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim.PtyPath(), target);
  EXPECT_TRUE(sim.Stop());  // SIGTERM ends it cleanly
  EXPECT_FALSE(IsSymlink(link));
}

TEST(Kt52SimProgram, StoresTheRecordsItIsGivenAndKeepsServingAfterTheHostLeaves) {
  ComFolder com;
  kt52::DeviceOptions options;
  options.transport = kt52::Transport::Plain;
  options.showSerial = false;
  options.records = {{{2022, 3, 4, 5, 6, 7}, "A,B"}, {{2022, 3, 4, 5, 6, 8}, "tail\n"}};
  SimProcess sim(options);
  ASSERT_TRUE(sim.Started());
  ASSERT_TRUE(sim.LinkAsCom(com.Path(), 4));
  for (int round = 0; round < 2; ++round) {
    SerialPort port;
    ASSERT_TRUE(port.Open(4, 115200, 8, 0, 0, FlowNone));
    EXPECT_EQ(PlainExchange(port, "$$%^0206"),
              "\r\n$$%~OK\r\n2022/03/04,05:06:07,A,B\r2022/03/04,05:06:08,tail\n\rEND");
  }
}

TEST(Kt52SimProgram, RefusesUnknownOptions) {
  SimProcess sim(kt52::DeviceOptions{}, {"--no-such-option"});
  EXPECT_FALSE(sim.Started());
}
