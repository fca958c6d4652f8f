// A whole "Get Barcodes" against a simulated scanner that stores any bytes as
// barcodes, in framed mode (frames of any size) and plain mode (any default
// separator, records after a run of made-up ones so the download takes several
// reads). Every complete record of what the scanner sent, zero bytes dropped,
// must come out exactly once and in order in the file and in the store.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "collect/collection_job.h"
#include "collect/output_naming.h"
#include "collect/record_format.h"
#include "common/ansi_text.h"
#include "common/local_time.h"
#include "export/export_store.h"
#include "protocol/exchange.h"
#include "ui/dialog_session.h"
#include "support/fixed_date.h"
#include "support/hostile_records.h"
#include "support/record_fields.h"
#include "support/memory_controls.h"
#include "support/port_records.h"
#include "support/program_state.h"
#include "support/scanner_desk.h"
#include "support/simulated_scanner_link.h"
#include "support/temp_folder.h"
#include "support/virtual_time.h"
#include "transport/port_discovery.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/scanner_operations.h"
#include "ui/port_controls.h"

namespace {
void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "fuzz_download: %s\n", what);
    __builtin_trap();
  }
}

// Input: flags, frame size, separator length, separator, then barcodes
// between '\n' bytes.
kt52::DeviceOptions ScannerFrom(const std::uint8_t* data, std::size_t size) {
  kt52::DeviceOptions o;
  o.serialNumber = "FZ";
  const bool plain = data[0] & 1;
  o.transport = plain ? kt52::Transport::Plain : kt52::Transport::Framed;
  o.frameSize = 1 + data[1];
  o.showSerial = o.showTime = false;  // as the job then tells it
  if (plain) o.generatedRecords = (data[0] >> 1) * 10u;  // up to 1270: several reads
  std::size_t at = 3;
  const std::size_t separatorLength = 1 + data[2] % 14;  // what the 24-byte reply holds
  std::string separator;
  for (; at < size && separator.size() < separatorLength; ++at)
    separator += static_cast<char>(0x21 + data[at] % 0x5E);  // printable, as scanners use
  if (!separator.empty()) o.separator = separator;
  std::string barcode;
  for (; at < size; ++at) {
    if (data[at] == '\n') {
      o.records.push_back({kt52::DeviceTime{2019, 1, 1, 8, 0, 0}, barcode});
      barcode.clear();
    } else {
      barcode += static_cast<char>(data[at]);
    }
  }
  o.records.push_back({kt52::DeviceTime{2019, 1, 1, 8, 0, 0}, barcode});
  return o;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  VirtualTimeScope time;
  TempFolder folder;
  MemoryControls dialog;
  std::vector<PortDeviceRecord> devices{
      {L"USB\\VID_2F3C&PID_0A17\\5&1&0&3", std::nullopt, L"COM3"}};
  SimulatedScannerLink link;
  link.AddScanner(3, ScannerFrom(data, size));

  PrepareDesk(link, &devices, dialog, folder);
  FillPortList(dialog, true);
  dialog.ComboSelect(IDC_PORT_LIST, 0);
  Check(OpenSelectedPort(dialog), "port does not open");
  UncheckRecordFields(dialog);  // a line is then the record itself

  const std::string sent = WithoutZeroBytes(link.Device(3).DownloadText());
  CollectionJob(dialog);

  std::vector<std::string> records = SplitAtDelimiter(sent, '\r');
  records.pop_back();  // no CR after it: no complete record
  Check(static_cast<int>(records.size()) == BarcodeExport.RecordCount, "record count in store");
  for (std::size_t i = 0; i < records.size(); ++i)
    Check(AnsiToWide(records[i]) == BarcodeExport.Barcodes[i], "record text in store");
  const std::size_t end = sent.rfind('\r');
  const std::string complete = end == std::string::npos ? "" : sent.substr(0, end + 1);
  Check(folder.Read("FZ_20190102_001.txt") == WindowsLines(complete), "file bytes");

  link.Close();
  ResetProgramState();
  return 0;
}
