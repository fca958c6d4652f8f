// "Get Time", "Set Time" and "Delete Barcodes" over a real port against
// kt52sim, in both transports; the simulator's state file tells what its clock
// and date format became.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "clock/scanner_clock.h"
#include "collect/collection_job.h"
#include "collect/delete_barcodes.h"
#include "collect/output_naming.h"
#include "common/local_time.h"
#include "export/export_store.h"
#include "kt52sim/kt52_device.h"
#include "protocol/exchange.h"
#include "ui/dialog_session.h"
#include "support/memory_controls.h"
#include "support/sim_process.h"
#include "support/temp_folder.h"
#include "transport/port_discovery.h"
#include "transport/serial_port.h"
#include "ui/control_ids.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"
#include "ui/scanner_operations.h"
#include "ui/port_controls.h"

namespace {
const char* Name(kt52::Transport transport) {
  return transport == kt52::Transport::Framed ? "framed" : "plain";
}

std::int64_t Seconds(const LocalTime& t) {
  return kt52::ToSeconds({t.year, t.month, t.day, t.hour, t.minute, t.second});
}

class ClockWire : public ::testing::TestWithParam<kt52::Transport> {
 protected:
  void SetUp() override {
    FramedMode = 0;
    AutoMode = 0;
    options.transport = GetParam();
    options.clock = {2024, 5, 17, 9, 30, 0};
    options.dateFormat = kt52::DateFormat::US;
    options.generatedRecords = 5;
    sim = std::make_unique<SimProcess>(options);
    ASSERT_TRUE(sim->Started());
    ASSERT_TRUE(sim->LinkAsCom(com.Path(), 3));
    PrepareMainDialog(dialog);
    OutputFolder = folder.Wide();
    ASSERT_TRUE(OpenSelectedPort(dialog));
  }
  void TearDown() override {
    DevicePort.Close();
    PortNumbers = PortList{};
    FramedMode = 0;
    BarcodeExport.Reset();
  }
  std::wstring LastBox() {
    auto boxes = dialog.Messages();
    return boxes.empty() ? L"<none>" : boxes.back().text;
  }
  // What the simulator's clock read after a Set Time, for the record.
  void Report(const char* what) {
    std::printf("[ figures ] %s, %s: simulator clock %s, date format %s, weekday %s\n", what,
                Name(GetParam()), sim->State("clock").c_str(), sim->State("date-format").c_str(),
                sim->State("weekday").c_str());
  }

  kt52::DeviceOptions options;
  ComFolder com;
  std::unique_ptr<SimProcess> sim;
  MemoryControls dialog;
  TempFolder folder;
};

TEST_P(ClockWire, GetTimeShowsTheScannerFormatAndClock) {
  ASSERT_EQ(1, GetDeviceTime(dialog));
  EXPECT_TRUE(dialog.IsChecked(IDC_FORMAT_US));
  EXPECT_FALSE(dialog.IsChecked(IDC_FORMAT_CN));
  EXPECT_EQ(0u, dialog.GetText(IDC_TIME_BOX, 100).find(L"05/17/2024,09:3"))
      << "time box: " << std::string(sim->State("clock"));
  EXPECT_EQ(L"Get Time Succeed!", LastBox());
}

TEST_P(ClockWire, SetTimeTypedGoesIntoTheScannerClock) {
  dialog.SetChecked(IDC_FORMAT_CN, false);
  dialog.SetChecked(IDC_FORMAT_EU, true);
  dialog.SetText(IDC_TIME_BOX, L"29/02/2020,10:00:00");
  SetTimeWorker(dialog);
  EXPECT_EQ(L"Set Time Succeed!", LastBox());
  Report("typed 29/02/2020,10:00:00 (EU)");
  EXPECT_EQ("2020/02/29,10:00:00", sim->State("clock"));
  EXPECT_EQ("EU", sim->State("date-format"));
  EXPECT_EQ("6", sim->State("weekday"));  // a Saturday

  ASSERT_EQ(1, GetDeviceTime(dialog));  // read back through the program
  EXPECT_EQ(0u, dialog.GetText(IDC_TIME_BOX, 100).find(L"29/02/2020,10:00:"));
  EXPECT_TRUE(dialog.IsChecked(IDC_FORMAT_EU));
}

TEST_P(ClockWire, SetTimeWithAnEmptyBoxSendsThePcClock) {
  const std::int64_t before = Seconds(SystemLocalTime());
  SetTimeWorker(dialog);  // CN, as at start
  const std::int64_t after = Seconds(SystemLocalTime());
  EXPECT_EQ(L"Set Time Succeed!", LastBox());
  Report("PC time (CN)");
  kt52::DeviceTime clock;
  ASSERT_TRUE(kt52::ParseDeviceTime(sim->State("clock"), clock));
  EXPECT_LE(before, kt52::ToSeconds(clock));
  EXPECT_GE(after, kt52::ToSeconds(clock));
  EXPECT_EQ("CH", sim->State("date-format"));
  EXPECT_EQ(std::to_string(DayOfWeek(clock.year, clock.month, clock.day)), sim->State("weekday"));
}

TEST_P(ClockWire, DeleteBarcodesLeavesNothingToDownload) {
  ASSERT_EQ("5", sim->State("records"));
  EXPECT_TRUE(DeleteBarcodes(dialog));  // MemoryControls answers Yes
  EXPECT_EQ(L"Delete Barcodes Succeed!", LastBox());
  EXPECT_EQ("0", sim->State("records"));
  CollectionJob(dialog);
  EXPECT_EQ(L"No Data!", LastBox());
}

INSTANTIATE_TEST_SUITE_P(BothTransports, ClockWire,
                         ::testing::Values(kt52::Transport::Framed, kt52::Transport::Plain),
                         [](const auto& info) {
                           return info.param == kt52::Transport::Framed ? "Framed" : "Plain";
                         });
}  // namespace
