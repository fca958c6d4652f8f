#pragma once
// The dialog's own scanner: the one port it talks through, the session over
// it, and the listed scanner ports. Owned here, where the dialog is put
// together; the core is handed the session and never reaches for these.
#include <cstdint>

#include "collect/collection_job.h"
#include "collect/output_naming.h"
#include "export/export_store.h"
#include "protocol/scanner_session.h"
#include "transport/port_discovery.h"
#include "transport/serial_port.h"

class Controls;

// The one port all of the dialog's scanner traffic goes through.
extern SerialPort DevicePort;
// The session over DevicePort (a test may put another link in its place).
extern ScannerSession DialogSession;
// 1 after the scanner answered the wake-up with ACK, 0 otherwise.
extern std::int32_t& FramedMode;
// Scanner COM numbers in ascending order: entry i of the port combo box and
// row i of the device list.
extern PortList PortNumbers;
// The ports whose last download failed, for "Delete Barcodes".
extern DownloadHistory DialogHistory;
// The records of the last download run, for the workbook export.
extern ExportODBC BarcodeExport;
// The output values, kept from one download to the next.
extern OutputNames DialogOutput;
extern std::wstring& OutputFolder;    // at start the program's own folder
extern std::wstring& OutputFileName;  // name of the current or last download's file
extern std::wstring& CustomFileName;  // last name typed while "Auto Naming" was off
extern bool& IsAutoNaming;
extern int& NextFileNumber;

// DialogSession, with the "Response" choice the window shows now.
ScannerSession& DialogScanner(Controls& dialog);
