// Two scanners downloaded at once, each through a session of its own on a
// thread of its own: neither sees the other's bytes, records or file names.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "collect/collection_job.h"
#include "support/fixed_front_end.h"
#include "support/simulated_scanner_link.h"
#include "support/temp_folder.h"
#include "support/virtual_time.h"

namespace {
struct Desk {
  explicit Desk(const kt52::DeviceOptions& options) : link(options) {}
  SimulatedScannerLink link;
  ScannerSession session{&link};
  FixedFrontEnd front;
  TempFolder folder;
  OutputNames names;
  DownloadRun run;
};

kt52::DeviceOptions Scanner(const char* serial, kt52::Transport transport, std::size_t records) {
  kt52::DeviceOptions options;
  options.serialNumber = serial;
  options.transport = transport;
  options.generatedRecords = records;
  return options;
}

TEST(ParallelSessions, TwoScannersOnTwoThreadsEachGetTheirOwnRecordsAndFile) {
  VirtualTimeScope time;
  Desk desks[] = {Desk(Scanner("KT52A", kt52::Transport::Framed, 700)),
                  Desk(Scanner("KT52B", kt52::Transport::Plain, 500))};
  for (Desk& desk : desks) {
    desk.names.folder = desk.folder.Wide();
    ASSERT_TRUE(desk.link.OpenPort(3));
  }
  std::thread other([&] {
    DownloadScanners(desks[1].session, desks[1].front, {}, desks[1].names, nullptr, &desks[1].run);
  });
  DownloadScanners(desks[0].session, desks[0].front, {}, desks[0].names, nullptr, &desks[0].run);
  other.join();

  for (Desk& desk : desks) {
    const std::string serial = desk.link.Device().Options().serialNumber;
    SCOPED_TRACE(serial);
    ASSERT_EQ(1u, desk.run.reports.size());
    const DownloadReport& report = desk.run.reports[0];
    EXPECT_EQ(Outcome::SaveDataSucceed, report.outcome);
    ASSERT_EQ(desk.link.Device().Records().size(), report.records.size());
    for (std::size_t k = 0; k < report.records.size(); ++k) {
      ASSERT_EQ(serial, report.records[k].serialNumber);
      ASSERT_EQ(desk.link.Device().Records()[k].barcode, report.records[k].barcode);
    }
    EXPECT_EQ(report.records.size(), report.recordsInFile);
    EXPECT_TRUE(FileHoldsWhatWasWritten(report));
    EXPECT_NE(std::wstring::npos, report.filePath.find(desk.folder.Wide()));
  }
  EXPECT_EQ(1, desks[0].session.framed);
  EXPECT_EQ(0, desks[1].session.framed);
}
// A stop asked from another thread ends a download that would never end on
// its own: unfinished, what came kept whole in the file, nothing erased.
TEST(ParallelSessions, AStopFromAnotherThreadEndsAnEndlessDownload) {
  VirtualTimeScope time;
  kt52::DeviceOptions options = Scanner("KT52E", kt52::Transport::Framed, 20);
  options.endless = true;
  Desk desk(options);
  desk.names.folder = desk.folder.Wide();
  std::atomic<bool> stop{false};
  desk.session.stop = &stop;
  ASSERT_TRUE(desk.link.OpenPort(3));
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop = true;
  });
  DownloadScanners(desk.session, desk.front, {}, desk.names, nullptr, &desk.run);
  stopper.join();

  ASSERT_EQ(1u, desk.run.reports.size());
  const DownloadReport& report = desk.run.reports[0];
  EXPECT_EQ(Outcome::Stopped, report.outcome);
  EXPECT_FALSE(report.succeeded);
  EXPECT_LT(20u, report.records.size());
  EXPECT_EQ(report.records.size(), report.recordsInFile);
  EXPECT_TRUE(FileHoldsWhatWasWritten(report));
  EXPECT_EQ(20u, desk.link.Device().Records().size());
}
}  // namespace
