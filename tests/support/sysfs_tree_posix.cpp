#include "support/sysfs_tree.h"

namespace fs = std::filesystem;

void SysfsTree::Write(const std::string& name, const std::string& bytes) const {
  fs::create_directories(At(name).parent_path());
  temp_.Write(name, bytes);
}

void SysfsTree::Link(const std::string& name, const std::string& target) const {
  fs::create_directories(At(name).parent_path());
  fs::create_symlink(target, At(name));
}

void SysfsTree::UsbTty(const std::string& name, const std::string& device,
                       const std::string& vendor, const std::string& product) const {
  const std::string usb = "sys/devices/" + device;
  const std::string tty = usb + "/1-1:1.0/tty/" + name;
  fs::create_directories(At(tty));
  if (!vendor.empty()) Write(usb + "/idVendor", vendor);
  if (!product.empty()) Write(usb + "/idProduct", product);
  Link(tty + "/device", "../../../1-1:1.0");
  Link("sys/class/tty/" + name, "../../devices/" + device + "/1-1:1.0/tty/" + name);
}

void SysfsTree::Scanner(const std::string& name, const std::string& device) const {
  UsbTty(name, device, "2f3c\n", "0a17\n");
}

void SysfsTree::Rfcomm(const std::string& name) const {
  fs::create_directories(At("sys/devices/virtual/tty/" + name));
  Link("sys/class/tty/" + name, "../../devices/virtual/tty/" + name);
}
