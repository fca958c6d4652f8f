#include "collect/delete_barcodes.h"

#include <cstdint>

#include "collect/collection_job.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"
#include "ui/controls.h"
#include "ui/device_list.h"

namespace {
constexpr wchar_t SucceedText[] = L"Delete Barcodes Succeed!";
constexpr wchar_t FailedText[] = L"Delete Barcodes Failed!";

// Auto mode: opens and wakes the scanner of row i; false (with its "Status")
// when that fails. The port is left for the next open to replace.
bool ReachListedScanner(Controls& dialog, std::uint32_t i) {
  if (!OpenDevicePort(PortNumbers.numbers[i])) {
    SetPortStatus(dialog, i, L"Please Open Ports!");
    return false;
  }
  if (!WakeDevice()) {
    SetPortStatus(dialog, i, L"Send '*' Failed!");
    return false;
  }
  return true;
}
}  // namespace

bool DeleteBarcodes(Controls& dialog) {
  const bool manual = AutoMode == 0;
  std::uint32_t portCount = PortNumbers.count;
  if (manual) {
    if (!CheckPortsOpen(dialog)) return false;
    // Woken before the question: a scanner that cannot be reached is not asked about.
    if (!WakeDevice()) {
      ShowAppMessage(dialog, L"Send '*' Failed!", BoxIconError);
      return false;
    }
    if (LastDownloadFailed(OpenedPortNumber()) &&
        dialog.ShowMessage(LastDownloadFailedQuestion, L"Warning", BoxYesNo | BoxIconWarning) !=
            AnswerYes)
      return false;
    portCount = 1;
  }
  if (dialog.ShowMessage(DeleteQuestionText, L"Warning", BoxYesNoCancel | BoxIconWarning) !=
      AnswerYes)
    return false;

  bool allErased = true;
  for (std::uint32_t i = 0; i < portCount && i < MaxPorts; ++i) {
    if (!manual && LastDownloadFailed(PortNumbers.numbers[i])) {
      SetPortStatus(dialog, i, NotDeletedText);  // its records may be all it has
      allErased = false;
      continue;
    }
    if (!manual && !ReachListedScanner(dialog, i)) {
      allErased = false;
      continue;
    }
    const bool erased = SendSetting(Command::EraseBarcodes);
    if (manual) {
      if (erased)
        dialog.ShowMessage(SucceedText, L"Infomation", BoxIconInformation);
      else
        dialog.ShowMessage(FailedText, L"Error", BoxIconError);
      return erased;
    }
    if (erased) {
      ClosePorts(dialog, true);
      SetPortStatus(dialog, i, SucceedText);
    } else {
      SetPortStatus(dialog, i, FailedText);
      ClosePorts(dialog, true);
      allErased = false;
    }
  }
  return allErased;
}
