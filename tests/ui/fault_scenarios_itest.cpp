// Faults over a real port against kt52sim, table-driven: a scanner unplugged
// in the middle of a download or a command, one that never answers or answers
// garbage, a refusal of every setting in turn, 100,000 records, an output
// folder that cannot be used before or during a download, and paths at and
// beyond 259 characters. Each
// ends within its bound (room for a loaded two-core machine), says what
// happened in the window's own words, leaves the controls usable, and keeps
// every record it received in the file and the store alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "clock/scanner_clock.h"
#include "collect/collection_job.h"
#include "collect/delete_barcodes.h"
#include "collect/output_naming.h"
#include "collect/record_format.h"
#include "common/local_time.h"
#include "export/export_store.h"
#include "kt52sim/kt52_device.h"
#include "protocol/device_info.h"
#include "protocol/exchange.h"
#include "ui/dialog_session.h"
#include "support/fixed_date.h"
#include "support/hostile_records.h"
#include "support/memory_controls.h"
#include "support/program_state.h"
#include "support/resource_limit.h"
#include "support/sim_process.h"
#include "support/temp_folder.h"
#include "transport/port_discovery.h"
#include "transport/serial_port.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/scanner_operations.h"
#include "ui/port_controls.h"

namespace {
enum class Op { Download, SetTime, Delete, DeviceInfo };

struct Fault {
  std::string name;
  kt52::Transport transport;
  Op op;
  std::function<void(kt52::DeviceOptions&)> scanner;
  std::function<void(MemoryControls&, TempFolder&)> window;  // may be empty
  int unplugAfterMs;        // 0: the scanner stays
  std::wstring box;         // the last box's text begins with it
  double boundSeconds;
  // Done once, on the job's thread, when the first data reach the window; what
  // it returns is kept until the job has ended.
  std::function<std::shared_ptr<void>(TempFolder&)> midDownload = {};
};

using kt52::Transport;

std::vector<Fault> Faults() {
  std::vector<Fault> f;
  const auto records = [](std::size_t n) {
    return [n](kt52::DeviceOptions& o) { o.generatedRecords = n; };
  };
  for (Transport t : {Transport::Framed, Transport::Plain}) {
    const std::string mode = t == Transport::Framed ? "framed " : "plain ";
    f.push_back({mode + "unplugged mid-download", t, Op::Download,
                 [](kt52::DeviceOptions& o) {
                   o.generatedRecords = 30000;
                   o.frameSize = 4096;
                   o.closeAfter = 2;
                 },
                 {}, 0, L"Get Data Failed!", 20});
    f.push_back({mode + "unplugged mid-command", t, Op::SetTime,
                 [](kt52::DeviceOptions& o) { o.silentAfter = 1; }, {}, 500,
                 // framed: the format is set, the time is not; plain: not even the format
                 t == Transport::Framed ? L"Set Time Failed!" : L"Set Time Format Failed!", 15});
    f.push_back({mode + "unplugged while asked for its information", t, Op::DeviceInfo,
                 [](kt52::DeviceOptions& o) { o.silentAfter = 0; }, {}, 300,
                 L"Get Device Info Error!", 15});  // the command can no longer be sent
    f.push_back({mode + "never answers", t, Op::Download,
                 [](kt52::DeviceOptions& o) { o.silentAfter = 0; }, {}, 0,
                 L"Set KT52 Display Items Failed!", 20});
    f.push_back({mode + "answers garbage", t, Op::Download,
                 [](kt52::DeviceOptions& o) {
                   o.generatedRecords = 50;
                   o.garbage = "\x15%$~ER\x06";
                 },
                 {}, 0, L"Set KT52 Display Items Failed!", 20});
    const struct {
      const char* code;
      Op op;
      int check;    // a radio button to check first, 0 none
      int uncheck;  // a box to uncheck first, 0 none
      const wchar_t* box;
    } refusals[] = {
        {"1400", Op::Download, 0, 0, L"Set KT52 Display Items Failed!"},
        {"1401", Op::Download, 0, IDC_SHOW_SERIAL_NUMBER, L"Set KT52 Display Items Failed!"},
        {"0300", Op::Download, 0, 0, L"Set KT52 Display Items Failed!"},
        {"0301", Op::Download, 0, IDC_SHOW_TIME_STAMP, L"Set KT52 Display Items Failed!"},
        {"1000", Op::SetTime, IDC_FORMAT_CN, 0, L"Set Time Format Failed!"},
        {"1001", Op::SetTime, IDC_FORMAT_EU, 0, L"Set Time Format Failed!"},
        {"1002", Op::SetTime, IDC_FORMAT_US, 0, L"Set Time Format Failed!"},
        {"11", Op::SetTime, 0, 0, L"Set Time Failed!"},
        {"1200", Op::Delete, 0, 0, L"Delete Barcodes Failed!"},
    };
    for (const auto& r : refusals) {
      const std::string code = r.code;
      const int check = r.check, uncheck = r.uncheck;
      f.push_back({mode + "refuses " + code, t, r.op,
                   [code](kt52::DeviceOptions& o) {
                     o.generatedRecords = 20;
                     o.refused = {code};
                   },
                   [check, uncheck](MemoryControls& d, TempFolder&) {
                     for (int id : {IDC_FORMAT_US, IDC_FORMAT_EU, IDC_FORMAT_CN})
                       if (check) d.SetChecked(id, id == check);
                     if (uncheck) d.SetChecked(uncheck, false);
                   },
                   0, r.box, 30});
    }
  }
  for (Transport t : {Transport::Framed, Transport::Plain})
    f.push_back({t == Transport::Framed ? "framed 100000 records" : "plain 100000 records", t,
                 Op::Download, records(100000), {}, 0, L"Save Data Succeed!", 120});
  // The open file outlives its folder here (on Windows the folder cannot go),
  // but nothing is saved: the file is not at its path.
  f.push_back({"output folder removed during the download", Transport::Framed, Op::Download,
               records(30000),
               [](MemoryControls&, TempFolder& folder) {
                 folder.MakeFolder("out");
                 OutputFolder = (folder.Path() / "out").wstring();
               },
               0, L"Write File Failed!", 60, [](TempFolder& folder) {
                 std::filesystem::remove_all(folder.Path() / "out");
                 return std::shared_ptr<void>();
               }});
  // No open handle minds a folder made read-only; what the user meets is a
  // write that fails, as on a full disk: from here on nothing more fits.
  f.push_back({"output file stops taking writes during the download", Transport::Framed,
               Op::Download, records(30000), {}, 0, L"Write File Failed!", 60,
               [](TempFolder&) { return std::make_shared<ResourceLimitScope>(RLIMIT_FSIZE, 0); }});
  f.push_back({"output folder through a regular file", Transport::Framed, Op::Download,
               records(20),
               [](MemoryControls&, TempFolder& folder) {
                 folder.Write("plain-file", "x");
                 OutputFolder = (folder.Path() / "plain-file" / "out").wstring();
               },
               0, L"Open File Failed!", 20});
  f.push_back({"output folder removed before the download", Transport::Framed, Op::Download,
               records(20),
               [](MemoryControls&, TempFolder& folder) {
                 OutputFolder = (folder.Path() / "gone").wstring();
               },
               0, L"Open File Failed!", 20});
  // "<folder>\P259_20190102_001.txt": 21 characters after the backslash.
  for (std::size_t length : {259u, 300u}) {
    f.push_back({"path of " + std::to_string(length) + " characters", Transport::Framed,
                 Op::Download, records(20),
                 [length](MemoryControls&, TempFolder& folder) {
                   // Folders of up to 100 letters until the path has its length.
                   const std::string base = folder.Path().string();
                   std::string deep = base;
                   while (deep.size() < length - 22) deep += (deep.size() - base.size()) % 101 ? 'd' : '/';
                   if (deep.back() == '/') deep.back() = 'd';
                   std::filesystem::create_directories(deep);
                   OutputFolder = std::wstring(deep.begin(), deep.end());
                 },
                 0, L"Save Data Succeed!", 20});
  }
  return f;
}

class FaultWire : public ::testing::TestWithParam<Fault> {
 protected:
  void SetUp() override {
    ResetProgramState();
    SetLocalTimeSource(&SecondOfJanuary2019);
  }
  void TearDown() override {
    DevicePort.Close();
    ResetProgramState();
  }
  void Run(Op op) {
    switch (op) {
      case Op::Download: CollectionJob(dialog); break;
      case Op::SetTime: SetTimeWorker(dialog); break;
      case Op::Delete: DeleteBarcodes(dialog); break;
      case Op::DeviceInfo: ShowDeviceInfo(dialog); break;
    }
  }
  std::wstring LastBox() {
    auto boxes = dialog.Messages();
    return boxes.empty() ? L"<none>" : boxes.back().text;
  }

  ComFolder com;
  MemoryControls dialog;
  TempFolder folder;
};

TEST_P(FaultWire, EndsInTimeSaysWhatHappenedAndKeepsEveryRecord) {
  const Fault& fault = GetParam();
  kt52::DeviceOptions options;
  options.serialNumber = "P259";
  options.transport = fault.transport;
  fault.scanner(options);
  SimProcess sim(options);
  ASSERT_TRUE(sim.Started());
  ASSERT_TRUE(sim.LinkAsCom(com.Path(), 3));
  PrepareMainDialog(dialog);
  OutputFolder = folder.Wide();
  if (fault.window) fault.window(dialog, folder);
  ASSERT_TRUE(OpenSelectedPort(dialog));

  std::thread unplug;
  if (fault.unplugAfterMs)
    unplug = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(fault.unplugAfterMs));
      sim.Stop();
    });
  std::shared_ptr<void> undo;
  std::once_flag once;
  if (fault.midDownload)
    dialog.onAppend = [&](int id) {
      if (id == IDC_BARCODE_DATA) std::call_once(once, [&] { undo = fault.midDownload(folder); });
    };
  const auto start = std::chrono::steady_clock::now();
  Run(fault.op);
  undo.reset();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (unplug.joinable()) unplug.join();

  EXPECT_LT(seconds, fault.boundSeconds) << "took too long";
  const std::wstring box = LastBox();
  EXPECT_EQ(0u, box.find(fault.box)) << std::string(box.begin(), box.end());
  for (int id : {IDC_GET_BARCODES, IDC_SET_TIME, IDC_DELETE_BARCODES, IDC_GET_TIME, IDC_CLOSE})
    EXPECT_TRUE(dialog.IsEnabled(id)) << "control " << id << " left disabled";

  std::size_t sent = 0, inFile = 0;
  if (fault.op == Op::Download) {
    // Whatever arrived: the file holds the first records of the scanner's,
    // whole, and the store holds the same ones.
    const std::string all = WindowsLines(kt52::Kt52Device(options).DownloadText());
    sent = static_cast<std::size_t>(std::count(all.begin(), all.end(), '\r'));
    const std::string path = std::string(OutputFolder.begin(), OutputFolder.end()) + "/" +
                             std::string(OutputFileName.begin(), OutputFileName.end());
    std::string kept;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
      char buffer[65536];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        kept.append(buffer, n);
      std::fclose(file);
    }
    const auto differ = std::mismatch(kept.begin(), kept.end(), all.begin(), all.end());
    EXPECT_TRUE(differ.first == kept.end())
        << "the file differs from the scanner's records at byte " << (differ.first - kept.begin())
        << ": " << ::testing::PrintToString(std::string(differ.first, std::min(differ.first + 60, kept.end())))
        << " where the scanner has "
        << ::testing::PrintToString(std::string(differ.second, std::min(differ.second + 60, all.end())));
    inFile = static_cast<std::size_t>(std::count(kept.begin(), kept.end(), '\r'));
    const int stored = BarcodeExport.RecordCount;
    if (fault.midDownload) {  // the file lost what came after; the store has it all
      EXPECT_LE(static_cast<int>(inFile), stored);
      EXPECT_EQ(static_cast<int>(sent), stored);
    } else {
      EXPECT_EQ(static_cast<int>(inFile), stored);
      if (fault.box == L"Save Data Succeed!" && !options.closeAfter) {
        EXPECT_EQ(sent, inFile);
      }
    }
  }
  std::printf("[ figures ] %s: \"%ls\" after %.1f s (bound %.0f s); records sent %zu, in file %zu, "
              "in store %d\n",
              fault.name.c_str(), box.substr(0, box.find(L'\r')).c_str(), seconds, fault.boundSeconds, sent, inFile,
              BarcodeExport.RecordCount);
}

INSTANTIATE_TEST_SUITE_P(Scanners, FaultWire, ::testing::ValuesIn(Faults()),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           std::string name;
                           for (char c : info.param.name)
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });
}  // namespace
