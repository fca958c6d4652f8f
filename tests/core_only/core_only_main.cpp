// A program made of the portable core alone, with no object of the dialog's in
// it: it links only lumet_core, which shows that the core stands on its own.
// Its front end prints what the core says; asked for the device information
// with no port open, the core must answer with its warning and send nothing.
#include <cstdio>
#include <string>

#include "common/ansi_text.h"
#include "common/front_end.h"
#include "protocol/device_info.h"
#include "protocol/scanner_session.h"
#include "transport/serial_port.h"

namespace {
class PrintingFrontEnd final : public FrontEnd {
 public:
  std::wstring lastBox;
  int ShowBox(const std::wstring& text, const std::wstring& caption, unsigned) override {
    lastBox = text;
    std::printf("%s: %s\n", WideToAnsi(caption).c_str(), WideToAnsi(text).c_str());
    return AnswerOk;
  }
  bool ChooseSaveFile(const SaveFileRequest&, std::wstring&) override { return false; }
  void ShowPortStatus(std::uint32_t, const std::wstring&) override {}
  void ClearReceived() override {}
  void ShowReceived(const std::string&) override {}
  void ShowFileName(const std::wstring&) override {}
  void ShowDateFormat(DateFormat) override {}
  void ShowTime(const std::wstring&) override {}
  bool IsClosing() override { return false; }
};
}  // namespace

int main() {
  PrintingFrontEnd front;
  SerialPort port;
  ScannerSession session{&port};
  const bool shown = ReportDeviceInfo(session, front);
  return !shown && front.lastBox == L"Please Open Ports!" ? 0 : 1;
}
