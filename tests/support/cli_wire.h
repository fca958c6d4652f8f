#pragma once
// The wire tests' lumet-cli bench: kt52sim scanners plugged into a made-up
// sysfs tree, and lumet-cli run against it with an output folder of its own.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kt52sim/device_options.h"
#include "support/cli_process.h"
#include "support/sim_process.h"
#include "support/sysfs_tree.h"
#include "support/temp_folder.h"

class CliWire : public ::testing::Test {
 public:
  // A scanner on the tty of that name: kt52sim, its pty linked as dev/<tty>.
  SimProcess& Plug(const std::string& tty, const kt52::DeviceOptions& options,
                   const std::vector<std::string>& simArguments = {});
  // The USB device, its tty and the device node, as the kernel adds them.
  void PlugAgain(const std::string& tty);
  // ... and as it takes them away again.
  void Unplug(const std::string& tty);
  CliResult Run(const std::vector<std::string>& arguments) { return RunLumetCli(tree.Root(), arguments); }
  // Runs lumet-cli until the scanner on tty has taken the download command
  // (at most 10 s), then calls during() while the download goes on; the
  // program's result once it ends.
  CliResult RunWhileDownloading(const std::string& tty, const std::vector<std::string>& arguments,
                                const std::function<void()>& during);
  // Waits (at most boundMs) until the scanner on tty has taken the download
  // command; false when it did not.
  bool WaitForDownloadCommand(const std::string& tty, int boundMs = 10000);
  std::string Out() const { return work.Path().string(); }
  std::string File(const std::string& name) const { return work.Read(name); }
  bool NothingSent() const;

  SysfsTree tree;
  TempFolder work;
  std::map<std::string, std::unique_ptr<SimProcess>> sims;
  std::map<std::string, std::string> devices;  // each tty's USB device folder
};

// "YYYYMMDD" of today, as the program names its files.
std::string Today();
// text with {out} as out and {today} as Today().
std::string Filled(std::string text, const std::string& out);
