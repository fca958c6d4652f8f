#include "ui/scanner_operations.h"

#include "clock/scanner_clock.h"
#include "collect/collection_job.h"
#include "collect/delete_barcodes.h"
#include "export/export_store.h"
#include "protocol/device_info.h"
#include "transport/port_discovery.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/dialog_session.h"
#include "ui/window_front_end.h"
#include "ui/worker_job.h"

namespace {
// Controls that start scanner work or change an output choice, in the order
// they are switched. "Export" is among them so the store is never read while
// the job fills it.
constexpr int CollectionSwitched[] = {
    IDC_SET_TIME,     IDC_SAVE_TO_FILE, IDC_CHOOSE_FOLDER, IDC_AUTO_NAMING,        IDC_FILE_NAME,
    IDC_TYPE_TXT,     IDC_TYPE_CSV,     IDC_LINE_WINDOWS,  IDC_LINE_UNIX,          IDC_DELETE_BARCODES,
    IDC_SEPARATOR,    IDC_GET_BARCODES, IDC_AUTO_MODE,     IDC_REFRESH,            IDC_SHOW_SERIAL_NUMBER,
    IDC_SHOW_TIME_STAMP, IDC_EXPORT};

// "Delete Barcodes", "Get Barcodes", the three format buttons, the time box,
// "Set Time", "Auto>>", "Refresh": what a Set Time run keeps from the user.
constexpr int ClockSwitched[] = {IDC_DELETE_BARCODES, IDC_GET_BARCODES, IDC_FORMAT_US,
                                 IDC_FORMAT_EU,       IDC_FORMAT_CN,    IDC_TIME_BOX,
                                 IDC_SET_TIME,        IDC_AUTO_MODE,    IDC_REFRESH};

// The ports an operation serves: every listed one in auto mode, else the open one.
const PortList* ServedPorts() { return AutoMode ? &PortNumbers : nullptr; }

// The export store holds the records of the last run that began.
void RunCollection(Controls& dialog) {
  WindowFrontEnd window(dialog);
  DownloadRun run;
  DownloadScanners(DialogScanner(dialog), window, window.ChosenForDownload(), DialogOutput,
                   ServedPorts(), &run);
  DialogHistory.Note(run);
  if (!run.started) return;
  BarcodeExport.Reset();
  for (const DownloadReport& report : run.reports)
    for (const ScanRecord& r : report.records)
      BarcodeExport.AppendAnsiRecord(r.serialNumber, r.timeStamp, r.barcode);
}

void RunSetTime(Controls& dialog) {
  WindowFrontEnd window(dialog);
  SetScannerClocks(DialogScanner(dialog), window, window.ChosenForClock(), ServedPorts());
}

constexpr WorkerJob Collection{&RunCollection, &SetJobControls, IDC_GET_BARCODES};
constexpr WorkerJob SetTimeJob{&RunSetTime, &EnableClockControls, IDC_SET_TIME};
}  // namespace

bool ShowDeviceInfo(Controls& dialog) {
  WindowFrontEnd window(dialog);
  return ReportDeviceInfo(DialogScanner(dialog), window);
}

int GetDeviceTime(Controls& dialog) {
  WindowFrontEnd window(dialog);
  return ReadScannerClock(DialogScanner(dialog), window) == Outcome::GetTimeSucceed ? 1 : 0;
}

bool DeleteBarcodes(Controls& dialog) {
  WindowFrontEnd window(dialog);
  return EraseScanners(DialogScanner(dialog), window, DialogHistory, ServedPorts()) ==
         Outcome::DeleteSucceed;
}

int ExportRecords(Controls& dialog) {
  WindowFrontEnd window(dialog);
  return BarcodeExport.Export(window, window.TickedColumns());
}

void SetJobControls(Controls& dialog, bool enable) {
  SwitchJobControls(dialog, CollectionSwitched, enable);
}

void CollectionJob(Controls& dialog) { RunWorkerJob(dialog, Collection); }

bool StartCollection(Controls& dialog) { return StartWorkerJob(dialog, Collection); }

// One worker job runs at a time, this one or "Set Time".
bool IsCollectionRunning() { return IsWorkerJobRunning(); }

void EnableClockControls(Controls& dialog, bool enable) {
  SwitchJobControls(dialog, ClockSwitched, enable);
}

int StartSetTime(Controls& dialog) { return StartWorkerJob(dialog, SetTimeJob) ? 1 : 0; }

void SetTimeWorker(Controls& dialog) { RunWorkerJob(dialog, SetTimeJob); }
