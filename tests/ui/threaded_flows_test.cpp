// The jobs that run on a worker thread, on a real thread, while the test's
// thread goes on using the window (as the dialog's own thread does): a
// download and "Set Time" in framed and plain mode, manual and auto, left to
// finish or with the window closed half-way. Under ThreadSanitizer
// (ctest --preset tsan) these are the races' test bed.
#include <gtest/gtest.h>

#include <cctype>

#include "clock/scanner_clock.h"
#include "collect/collection_job.h"
#include "collect/record_format.h"
#include "export/export_store.h"
#include "protocol/exchange.h"
#include "support/gated_link.h"
#include "support/scanner_desk.h"
#include "transport/port_discovery.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/worker_job.h"
#include "ui/scanner_operations.h"
#include "ui/dialog_session.h"

namespace {
enum class Job { Download, SetTime };

struct Flow {
  const char* name;
  Job job;
  kt52::Transport transport;
  bool autoMode;
  bool closeHalfWay;
};

const Flow Flows[] = {
    {"download framed manual", Job::Download, kt52::Transport::Framed, false, false},
    {"download plain manual", Job::Download, kt52::Transport::Plain, false, false},
    {"download framed auto", Job::Download, kt52::Transport::Framed, true, false},
    {"download plain auto, closed", Job::Download, kt52::Transport::Plain, true, true},
    {"download plain manual, closed", Job::Download, kt52::Transport::Plain, false, true},
    {"set time framed manual", Job::SetTime, kt52::Transport::Framed, false, false},
    {"set time plain manual", Job::SetTime, kt52::Transport::Plain, false, false},
    {"set time plain auto", Job::SetTime, kt52::Transport::Plain, true, false},
    {"set time framed manual, closed", Job::SetTime, kt52::Transport::Framed, false, true},
};

class ThreadedFlows : public ScannerDesk, public ::testing::WithParamInterface<Flow> {
 protected:
  // Reads the window as the dialog thread would while the worker writes it.
  void UseTheWindowUntilTheJobEnds() {
    while (IsWorkerJobRunning()) {
      dialog.TextLength(IDC_BARCODE_DATA);
      dialog.IsEnabled(IDC_GET_BARCODES);
      dialog.ListRowCount(IDC_DEVICE_LIST);
    }
  }
};

TEST_P(ThreadedFlows, RunToTheirEndWithTheWindowInUse) {
  const Flow& flow = GetParam();
  kt52::DeviceOptions options;
  options.serialNumber = "T1";
  options.transport = flow.transport;
  options.generatedRecords = 1500;  // several chunks in both modes
  options.frameSize = 1000;
  kt52::Kt52Device& device = Attach(3, options);
  if (flow.autoMode) {
    StartAutoMode();
  } else {
    OpenPortAt(0);
  }
  GatedLink gated(link, 2);
  DialogSession.link = &gated;
  if (flow.job == Job::Download) {
    ASSERT_TRUE(StartCollection(dialog));
  } else {
    ASSERT_EQ(1, StartSetTime(dialog));
  }
  ASSERT_TRUE(gated.WaitUntilHeld()) << "the job never reached its second read";
  // A command from a disabled button starts no second job.
  EXPECT_FALSE(StartCollection(dialog));
  EXPECT_EQ(0, StartSetTime(dialog));
  // Nothing else reaches the scanner, the port or the port list meanwhile,
  // not even a command sent by a program to a control it enabled.
  EXPECT_FALSE(dialog.IsEnabled(IDC_OPEN) || dialog.IsEnabled(IDC_PORT_LIST));
  const std::size_t commands = device.Commands().size();
  AttachDeadPort(9);  // a refill of the port list would find it
  for (int id : {IDC_DELETE_BARCODES, IDC_GET_TIME, IDC_GET_DEVICE_INFO, IDC_REFRESH,
                 IDC_AUTO_MODE, IDC_CLOSE, IDC_OPEN, IDC_PORT_LIST}) {
    dialog.SetEnabled(id, true);
    EXPECT_TRUE(DispatchCommand(dialog, id, id == IDC_PORT_LIST ? NotifyDropDown : NotifyClicked));
  }
  EXPECT_EQ(commands, device.Commands().size());
  EXPECT_TRUE(link.IsOpen() && PortNumbers.count == 1);
  if (flow.job == Job::Download) {
    // "Export" never reads the store while the download fills it.
    EXPECT_FALSE(dialog.IsEnabled(IDC_EXPORT));
    EXPECT_TRUE(DispatchCommand(dialog, IDC_EXPORT, NotifyClicked));
    EXPECT_TRUE(dialog.SaveFileRequests().empty());
  }
  EXPECT_TRUE(dialog.Messages().empty());
  if (flow.closeHalfWay) {
    EXPECT_TRUE(DispatchCommand(dialog, CloseCommandId, 0));
    EXPECT_EQ(-1, dialog.DialogResult());
  }
  gated.Release();
  UseTheWindowUntilTheJobEnds();
  ASSERT_TRUE(WaitForWorkerJobEnd()) << "the job still runs after the deadline";
  DialogSession.link = &link;
  // Given back as the job found them: a port open, or auto mode.
  EXPECT_FALSE(dialog.IsEnabled(IDC_OPEN) || dialog.IsEnabled(IDC_PORT_LIST));

  if (flow.closeHalfWay) {
    EXPECT_EQ(std::vector<int>{CloseCommandId}, dialog.TakePostedCommands());
    EXPECT_TRUE(MessageTexts().empty());
  }
  if (flow.job == Job::SetTime) {
    // The scanner being set when the window closed is still set.
    EXPECT_EQ(0u, device.Commands().back().rfind("$$%^11", 0)) << device.Commands().back();
    return;
  }
  // Every record the file holds is in the store too, in order; a finished
  // download holds all of them.
  const std::string sent = WindowsLines(device.DownloadText());
  const std::string kept = ReadOutput(AutoName("T1", 1));
  EXPECT_EQ(0u, sent.find(kept));
  std::vector<std::string> lines = SplitAtDelimiter(kept, '\n');
  lines.pop_back();
  EXPECT_EQ(static_cast<int>(lines.size()), BarcodeExport.RecordCount);
  if (!flow.closeHalfWay) {
    EXPECT_EQ(sent, kept);
  }
}

INSTANTIATE_TEST_SUITE_P(Jobs, ThreadedFlows, ::testing::ValuesIn(Flows),
                         [](const ::testing::TestParamInfo<Flow>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c; ++c)
                             if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                           return name;
                         });
}  // namespace
