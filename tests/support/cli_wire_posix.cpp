#include "support/cli_wire.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>
#include <filesystem>

#include "common/local_time.h"

SimProcess& CliWire::Plug(const std::string& tty, const kt52::DeviceOptions& options,
                          const std::vector<std::string>& simArguments) {
  sims[tty] = std::make_unique<SimProcess>(options, simArguments);
  EXPECT_TRUE(sims[tty]->Started());
  PlugAgain(tty);
  return *sims[tty];
}

void CliWire::PlugAgain(const std::string& tty) {
  if (!devices.count(tty)) devices[tty] = "usb1/1-" + std::to_string(devices.size() + 1);
  tree.Scanner(tty, devices[tty]);
  tree.Link("dev/" + tty, sims[tty]->PtyPath());
}

void CliWire::Unplug(const std::string& tty) {
  std::filesystem::remove(tree.At("sys/class/tty/" + tty));
  std::filesystem::remove_all(tree.At("sys/devices/" + devices[tty]));
  std::filesystem::remove(tree.At("dev/" + tty));
}

CliResult CliWire::RunWhileDownloading(const std::string& tty,
                                       const std::vector<std::string>& arguments,
                                       const std::function<void()>& during) {
  std::future<CliResult> running =
      std::async(std::launch::async, [this, arguments] { return Run(arguments); });
  const bool downloading = WaitForDownloadCommand(tty);
  EXPECT_TRUE(downloading) << "the download command never reached " << tty;
  if (downloading) during();
  return running.get();
}

bool CliWire::WaitForDownloadCommand(const std::string& tty, int boundMs) {
  const std::string command = "$$%^0206";
  for (int waited = 0; waited < boundMs; waited += 20) {
    const std::vector<std::uint8_t> got = sims.at(tty)->ReceivedBytes();
    if (std::search(got.begin(), got.end(), command.begin(), command.end()) != got.end()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool CliWire::NothingSent() const {
  for (const auto& [tty, sim] : sims)
    if (!sim->ReceivedBytes().empty()) return false;
  return true;
}

std::string Today() {
  const LocalTime now = SystemLocalTime();
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", now.year, now.month, now.day);
  return text;
}

std::string Filled(std::string text, const std::string& out) {
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"{out}", out}, {"{today}", Today()}})
    for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  return text;
}
