// The native build lists the com<n> entries of the folder SerialPort opens
// COM<n> from, so the program finds simulated scanners there.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/port_records.h"
#include "support/sim_process.h"
#include "transport/port_discovery.h"
#include "transport/serial_port.h"

namespace {
void Touch(const std::string& path) {
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0) << path;
  ::close(fd);
}

std::vector<std::uint32_t> Enumerate() {
  std::uint32_t numbers[MaxPorts] = {};
  std::uint32_t count = EnumerateDevicePorts(numbers, MaxPorts);
  return std::vector<std::uint32_t>(numbers, numbers + count);
}

TEST(EnumerateDevicePortsNative, ListsTheComEntriesSerialPortCanOpen) {
  ComFolder folder;
  for (const char* name : {"com12", "com3", "com0", "com7x", "COM5", "com007", "com65537", "ttyS0"})
    Touch(folder.Path() + "/" + name);
  EXPECT_EQ((std::vector<std::uint32_t>{3, 12}), Enumerate());
  EXPECT_EQ(folder.Path() + "/com3", SerialPort::DevicePath(3));
}

TEST(EnumerateDevicePortsNative, AMissingFolderListsNothing) {
  ComFolder folder;
  setenv("LUMET_COM_FOLDER", (folder.Path() + "/gone").c_str(), 1);
  EXPECT_TRUE(Enumerate().empty());
}

TEST(EnumerateDevicePortsNative, AnotherDeviceSourceTakesThePlaceOfTheFolder) {
  ComFolder folder;
  Touch(folder.Path() + "/com4");
  PortDeviceRecord bluetooth;
  bluetooth.instanceId = L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\1";
  bluetooth.portName = L"COM9";
  std::vector<PortDeviceRecord> devices = {bluetooth};
  SetPortDeviceRecords(&devices);
  EXPECT_EQ((std::vector<std::uint32_t>{9}), Enumerate());
  SetPortDeviceRecords(nullptr);
  EXPECT_EQ((std::vector<std::uint32_t>{4}), Enumerate());
}
}  // namespace
