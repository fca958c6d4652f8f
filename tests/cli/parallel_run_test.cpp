// Scanners served at once: every one exactly once, never more together than
// asked; downloads on the pool, into files of their own or one shared file,
// each checked and erased on its own, one scanner unplugged midway.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/parallel_run.h"
#include "collect/collection_job.h"
#include "collect/delete_barcodes.h"
#include "common/posix_path.h"
#include "support/fixed_front_end.h"
#include "support/hostile_records.h"
#include "support/simulated_scanner_link.h"
#include "support/temp_folder.h"
#include "support/virtual_time.h"

namespace {
struct PoolRow {
  std::size_t count;
  std::size_t jobs;
  std::size_t mostTogether;  // at most this many ran at once
};

TEST(RunEach, ServesEveryItemOnceAndNoMoreAtOnceThanAsked) {
  const PoolRow rows[] = {{0, 0, 0}, {1, 0, 1}, {5, 2, 2}, {10, 1, 1}, {40, 0, MaxJobs}, {3, 32, 3}};
  for (const PoolRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.count << " items, jobs " << row.jobs);
    std::vector<std::atomic<int>> served(row.count);
    std::atomic<std::size_t> running{0}, most{0};
    RunEach(row.count, row.jobs, [&](std::size_t i) {
      const std::size_t now = ++running;
      for (std::size_t seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {}
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ++served[i];
      --running;
    });
    for (std::size_t i = 0; i < row.count; ++i) EXPECT_EQ(1, served[i].load()) << i;
    EXPECT_LE(most.load(), row.mostTogether);
  }
}

TEST(WorkerSet, ReapsTheEndedAndWaitsForTheRest) {
  WorkerSet workers;
  std::atomic<bool> release{false};
  std::atomic<int> ended{0};
  ASSERT_TRUE(workers.Start([&] { ++ended; }));
  ASSERT_TRUE(workers.Start([&] {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++ended;
  }));
  while (ended < 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::size_t running = 2;
  for (int k = 0; k < 1000 && running != 1; ++k) {
    running = workers.Reap();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(1u, running);
  release = true;
  workers.JoinAll();
  EXPECT_EQ(2, ended.load());
  EXPECT_EQ(0u, workers.Reap());
}

struct Desk {
  explicit Desk(const kt52::DeviceOptions& options) : link(options) {}
  SimulatedScannerLink link;
  ScannerSession session{&link};
  FixedFrontEnd front;
  DownloadChoices choices;
  OutputNames names;
  DownloadRun run;
  bool erased = false;
};

kt52::DeviceOptions PoolScanner(std::size_t k, bool unplugged) {
  kt52::DeviceOptions options;
  options.serialNumber = "KT52P" + std::to_string(k);
  options.transport = k % 2 ? kt52::Transport::Plain : kt52::Transport::Framed;
  options.generatedRecords = 300 + 50 * k;
  if (unplugged) options.hangUpAfterBytes = 3000;
  return options;
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct SharingRow {
  const char* name;
  const wchar_t* customName;  // nullptr: each scanner's own automatic file
};

class ParallelDownloads : public ::testing::TestWithParam<SharingRow> {};

TEST_P(ParallelDownloads, EachScannerIsCheckedAndErasedOnItsOwn) {
  VirtualTimeScope time;
  TempFolder folder;
  constexpr std::size_t Count = 6, Unplugged = 3;
  std::vector<std::unique_ptr<Desk>> desks;
  for (std::size_t k = 0; k < Count; ++k) {
    desks.push_back(std::make_unique<Desk>(PoolScanner(k, k == Unplugged)));
    Desk& desk = *desks.back();
    desk.names.folder = folder.Wide();
    if (GetParam().customName) {
      desk.choices.autoNaming = false;
      desk.choices.typedFileName = GetParam().customName;
    }
    ASSERT_TRUE(desk.link.OpenPort(static_cast<std::uint32_t>(k + 1)));
  }
  KeyedLocks files;
  RunEach(Count, 0, [&](std::size_t k) {
    Desk& desk = *desks[k];
    std::unique_lock<std::mutex> turn(files.For(GetParam().customName ? GetParam().customName
                                                                      : L"auto" + std::to_wstring(k)));
    DownloadScanners(desk.session, desk.front, desk.choices, desk.names, nullptr, &desk.run);
    const DownloadReport& report = desk.run.reports.at(0);
    const bool vouched = report.succeeded && FileHoldsWhatWasWritten(report);
    turn.unlock();
    if (vouched) desk.erased = EraseScanners(desk.session, desk.front, DownloadHistory{}, nullptr) == Outcome::DeleteSucceed;
  });

  // Every file, read back, is the scanners' lines one after another, each
  // scanner's whole and exactly where its report says.
  std::map<std::wstring, std::map<std::uint64_t, const DownloadReport*>> byFile;
  for (std::size_t k = 0; k < Count; ++k) {
    SCOPED_TRACE(k);
    Desk& desk = *desks[k];
    const DownloadReport& report = desk.run.reports.at(0);
    EXPECT_EQ(k != Unplugged, desk.erased);
    EXPECT_EQ(k == Unplugged ? 300 + 50 * k : 0u, desk.link.Device().Records().size());
    EXPECT_EQ(k == Unplugged ? Outcome::GetDataFailed : Outcome::SaveDataSucceed, report.outcome);
    byFile[report.filePath][report.fileStart] = &report;
    if (k == Unplugged) continue;
    EXPECT_EQ(WindowsLines(kt52::Kt52Device(PoolScanner(k, false)).DownloadText()),
              ReadAll(report.filePath).substr(report.fileStart, report.bytesWritten));
  }
  EXPECT_EQ(GetParam().customName ? 1u : Count, byFile.size());
  for (const auto& [path, reports] : byFile) {
    std::uint64_t end = 0;
    for (const auto& [start, report] : reports) {
      EXPECT_EQ(end, start) << "a gap or an overlap in the file";
      end = start + report->bytesWritten;
    }
    EXPECT_EQ(end, ReadAll(path).size());
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ParallelDownloads,
                         ::testing::Values(SharingRow{"OwnFiles", nullptr},
                                           SharingRow{"OneSharedFile", L"shift"}),
                         [](const ::testing::TestParamInfo<SharingRow>& info) {
                           return std::string(info.param.name);
                         });
}  // namespace
