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
#include "../support/fixed_front_end.h"  // header only: nothing of the tests is linked

namespace {
class PrintingFrontEnd final : public FixedFrontEnd {
 public:
  int ShowBox(const std::wstring& text, const std::wstring& caption, unsigned flags) override {
    std::printf("%s: %s\n", WideToAnsi(caption).c_str(), WideToAnsi(text).c_str());
    FixedFrontEnd::ShowBox(text, caption, flags);
    return AnswerOk;
  }
};
}  // namespace

int main() {
  PrintingFrontEnd front;
  SerialPort port;
  ScannerSession session{&port};
  const bool shown = ReportDeviceInfo(session, front);
  return !shown && front.lastBox == L"Please Open Ports!" ? 0 : 1;
}
