#include "ui/dialog_session.h"

#include "ui/window_front_end.h"

// Built during static initialisation, before the window exists; its destructor
// at exit closes a port still open.
SerialPort DevicePort;
ScannerSession DialogSession{&DevicePort};
std::int32_t& FramedMode = DialogSession.framed;
PortList PortNumbers;
ExportODBC BarcodeExport;
DownloadHistory DialogHistory;
OutputNames DialogOutput;
std::wstring& OutputFolder = DialogOutput.folder;
std::wstring& OutputFileName = DialogOutput.fileName;
std::wstring& CustomFileName = DialogOutput.customName;
bool& IsAutoNaming = DialogOutput.autoNaming;
int& NextFileNumber = DialogOutput.nextNumber;

ScannerSession& DialogScanner(Controls& dialog) {
  WindowFrontEnd window(dialog);
  DialogSession.responseMode = window.ResponseMode();
  return DialogSession;
}
