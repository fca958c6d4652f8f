// The scanners are kt52sim at 115200 baud on ptys, found by lumet-cli through
// a made-up sysfs tree (LUMET_SYSFS_ROOT), as in the wire tests.
#include "cli_scanners.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "support/hostile_records.h"
#include "support/sim_process.h"
#include "support/sysfs_tree.h"
#include "support/temp_folder.h"

namespace {
constexpr int DownloadBoundMs = 30 * 60 * 1000;

// The wall time of one download --all over count scanners; negative when a
// scanner did not start or the download did not succeed.
double DownloadAllSeconds(int count, std::size_t records, int& exit) {
  SysfsTree tree;
  TempFolder out;
  std::vector<std::unique_ptr<SimProcess>> sims;
  for (int k = 0; k < count; ++k) {
    const std::string tty = "ttyACM" + std::to_string(k);
    sims.push_back(std::make_unique<SimProcess>(Scanner("KT-" + std::to_string(k), records),
                                                std::vector<std::string>{"--baud", "115200"}));
    if (!sims.back()->Started()) return -1;
    tree.Scanner(tty, "usb1/1-" + std::to_string(k + 1));
    tree.Link("dev/" + tty, sims.back()->PtyPath());
  }
  const auto start = std::chrono::steady_clock::now();
  exit = RunLumetCli(tree.Root(), {"download", "--all", "--out", out.Path().string()}, DownloadBoundMs).exit;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return exit == 0 ? seconds : -1;
}
}  // namespace

void CliScannersFigures(std::size_t records) {
  std::printf("\n== lumet-cli download --all: N kt52sim scanners at 115200 baud, %zu records each ==\n",
              records);
  double one = 0;
  for (int count : {1, 4, 10}) {
    int exit = -1;
    const double seconds = DownloadAllSeconds(count, records, exit);
    if (seconds < 0) {
      std::printf("N=%-2d not measured: the download did not succeed (exit %d)\n", count, exit);
      continue;
    }
    if (count == 1) one = seconds;
    if (one > 0)
      std::printf("N=%-2d %7.2f s wall, %5.2f times N=1\n", count, seconds, seconds / one);
    else
      std::printf("N=%-2d %7.2f s wall, no N=1 to compare with\n", count, seconds);
  }
}
