// Scanner ports found in made-up sysfs trees (support/sysfs_tree.h).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "support/sysfs_tree.h"
#include "transport/tty_discovery.h"

namespace {
namespace fs = std::filesystem;

std::vector<std::string> Listed(const std::string& root) {
  std::vector<std::string> listed;
  for (const TtyPort& port : FindScannerTtys(root))
    listed.push_back((port.kind == TtyKind::Usb ? "usb " : "bt ") + port.path);
  return listed;
}

struct TreeCase {
  const char* what;
  std::function<void(const SysfsTree&)> build;
  std::vector<std::string> listed;
};

const std::string Device = "usb1/1-1";

TEST(FindScannerTtys, ListsWhatTheTreeHolds) {
  const TreeCase cases[] = {
      {"a USB scanner", [](const SysfsTree& t) { t.Scanner("ttyACM0"); }, {"usb /dev/ttyACM0"}},
      {"ids in capitals, no newline",
       [](const SysfsTree& t) { t.UsbTty("ttyACM0", Device, "2F3C", "0A17"); },
       {"usb /dev/ttyACM0"}},
      {"another vendor",
       [](const SysfsTree& t) { t.UsbTty("ttyUSB0", Device, "1a86\n", "0a17\n"); },
       {}},
      {"another product",
       [](const SysfsTree& t) { t.UsbTty("ttyACM0", Device, "2f3c\n", "0a18\n"); },
       {}},
      {"an id too long",
       [](const SysfsTree& t) { t.UsbTty("ttyACM0", Device, "2f3c0\n", "0a17\n"); },
       {}},
      {"an id not hex",
       [](const SysfsTree& t) { t.UsbTty("ttyACM0", Device, "2f3g\n", "0a17\n"); },
       {}},
      {"two newlines",
       [](const SysfsTree& t) { t.UsbTty("ttyACM0", Device, "2f3c\n\n", "0a17\n"); },
       {}},
      {"a product id only, the scanner's ids above it",
       [](const SysfsTree& t) {
         t.UsbTty("ttyACM0", "usb1/1-1/1-1.2", "", "0a17\n");
         t.Write("sys/devices/usb1/1-1/idVendor", "2f3c\n");
         t.Write("sys/devices/usb1/1-1/idProduct", "0a17\n");
       },
       {}},
      {"the ids two folders up",
       [](const SysfsTree& t) {
         t.UsbTty("ttyACM0", "usb1/1-1/1-1.2", "", "");
         t.Write("sys/devices/usb1/1-1/idVendor", "2f3c\n");
         t.Write("sys/devices/usb1/1-1/idProduct", "0a17\n");
       },
       {"usb /dev/ttyACM0"}},
      {"no ids up to the top of the tree",
       [](const SysfsTree& t) { t.UsbTty("ttyS0", "platform/serial8250", "", ""); },
       {}},
      {"a tty without a device",
       [](const SysfsTree& t) { t.Link("sys/class/tty/tty0", "../../devices/virtual/tty/tty0"); },
       {}},
      {"bound rfcomm devices",
       [](const SysfsTree& t) {
         for (const char* name : {"rfcomm0", "rfcomm12", "rfcomm", "rfcomm01", "rfcommx"})
           t.Rfcomm(name);
       },
       {"bt /dev/rfcomm0", "bt /dev/rfcomm12"}},
      {"sorted by name, numbers by value",
       [](const SysfsTree& t) {
         t.Scanner("ttyACM10", "usb1/1-1");
         t.Scanner("ttyACM2", "usb1/1-2");
         t.Scanner("ttyUSB0", "usb1/1-3");
         t.Rfcomm("rfcomm1");
       },
       {"bt /dev/rfcomm1", "usb /dev/ttyACM2", "usb /dev/ttyACM10", "usb /dev/ttyUSB0"}},
      {"a name unfit for /dev", [](const SysfsTree& t) { t.Scanner("tty ACM0"); }, {}},
      {"a device link in a loop",
       [](const SysfsTree& t) {
         t.Link("sys/class/tty/ttyACM0/device", "../ttyACM1/device");
         t.Link("sys/class/tty/ttyACM1/device", "../ttyACM0/device");
       },
       {}},
      {"a device link out of the tree",
       [](const SysfsTree& t) {
         t.Write("elsewhere/idVendor", "2f3c\n");
         t.Write("elsewhere/idProduct", "0a17\n");
         t.Link("sys/class/tty/ttyACM0/device", "../../../../elsewhere");
       },
       {}},
      {"an id that is a link to the scanner's",
       [](const SysfsTree& t) {
         t.UsbTty("ttyACM0", Device, "", "0a17\n");
         t.Write("ids/vendor", "2f3c\n");
         t.Link("sys/devices/usb1/1-1/idVendor", "../../../../ids/vendor");
       },
       {}},
      {"an id that never ends",
       [](const SysfsTree& t) {
         t.UsbTty("ttyACM0", Device, "", "0a17\n");
         ASSERT_EQ(mkfifo(t.At("sys/devices/usb1/1-1/idVendor").c_str(), 0600), 0);
       },
       {}},
      {"a huge id",
       [](const SysfsTree& t) {
         t.UsbTty("ttyACM0", Device, "2f3c" + std::string(1 << 20, '\n'), "0a17\n");
       },
       {}},
      {"no tty folder", [](const SysfsTree& t) { t.Write("sys/class/net", ""); }, {}},
  };
  for (const TreeCase& c : cases) {
    SysfsTree tree;
    c.build(tree);
    EXPECT_EQ(c.listed, Listed(tree.Root())) << c.what;
    EXPECT_EQ(c.listed, Listed(tree.Root() + "/")) << c.what << ", the root with a slash";
  }
  EXPECT_TRUE(Listed("/nonexistent-root").empty());
}

TEST(FindScannerTtys, AHugeFolderIsReadOnlyInPartAndListsAtMostItsBound) {
  SysfsTree tree;
  fs::create_directories(tree.At("sys/class/tty"));
  const std::string folder = tree.At("sys/class/tty/rfcomm").string();
  for (std::size_t i = 0; i < MaxTtyEntries + 100; ++i)
    ASSERT_EQ(mkdir((folder + std::to_string(i)).c_str(), 0700), 0);
  std::vector<TtyPort> ports = FindScannerTtys(tree.Root());
  EXPECT_EQ(ports.size(), MaxTtyPorts);
}

TEST(TtyOpenPath, JoinsTheRootAndThePath) {
  const TtyPort port{"/dev/ttyACM0", TtyKind::Usb, {}};
  EXPECT_EQ(TtyOpenPath("/", port), "/dev/ttyACM0");
  EXPECT_EQ(TtyOpenPath("/tmp/tree", port), "/tmp/tree/dev/ttyACM0");
  EXPECT_EQ(TtyOpenPath("/tmp/tree//", port), "/tmp/tree/dev/ttyACM0");
}
}  // namespace
