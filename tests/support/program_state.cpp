#include "support/program_state.h"
#include "ui/dialog_session.h"

#include "clock/scanner_clock.h"
#include "collect/collection_job.h"
#include "collect/output_naming.h"
#include "common/local_time.h"
#include "common/worker.h"
#include "export/export_store.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"
#include "transport/serial_port.h"
#include "ui/device_list.h"
#include "ui/window_front_end.h"

void ResetProgramState() {
  // A link a test put in place may be gone already: only the program's own
  // port is closed here; the test closes its link itself.
  DevicePort.Close();
  DialogSession = ScannerSession{&DevicePort};

  SetPortDeviceSource(nullptr);
  PortNumbers = PortList{};
  AutoMode = 0;
  for (DeviceListRow& row : DeviceListRows) row = DeviceListRow{};

  OutputFolder.clear();
  OutputFileName.clear();
  CustomFileName.clear();
  IsAutoNaming = true;
  NextFileNumber = 1;
  BarcodeExport.Reset();
  DialogHistory.Forget();

  ShownTimeText.clear();
  SetLocalTimeSource(nullptr);
  SetWorkerStarter(nullptr);
}
