#pragma once
// A made-up sysfs tree in a fresh folder, laid out as the kernel does:
// sys/class/tty/<name> links into sys/devices/, a tty's "device" link leads
// to its USB interface (:1.0), and the interface's parent folder, the USB
// device, holds "idVendor" and "idProduct".
#include <filesystem>
#include <string>

#include "support/temp_folder.h"

class SysfsTree {
 public:
  std::string Root() const { return temp_.Path().string(); }
  std::filesystem::path At(const std::string& name) const { return temp_.Path() / name; }
  // Writes the file, making its folders.
  void Write(const std::string& name, const std::string& bytes) const;
  // Makes name a symbolic link to target, making its folders.
  void Link(const std::string& name, const std::string& target) const;
  // A tty on interface :1.0 of the USB device sys/devices/<device>, the ids
  // written into the device's folder unless empty.
  void UsbTty(const std::string& name, const std::string& device, const std::string& vendor,
              const std::string& product) const;
  // A tty of a USB scanner (the dialog's hardware id).
  void Scanner(const std::string& name, const std::string& device = "usb1/1-1") const;
  // A bound rfcomm device.
  void Rfcomm(const std::string& name) const;

 private:
  TempFolder temp_;
};
