#include "collect/delete_barcodes.h"

#include <cstdint>

#include "collect/collection_job.h"
#include "common/front_end.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"

namespace {
constexpr wchar_t SucceedText[] = L"Delete Barcodes Succeed!";
constexpr wchar_t FailedText[] = L"Delete Barcodes Failed!";

// Auto mode: opens and wakes the scanner of entry i; false (with its "Status")
// when that fails. The port is left for the next open to replace.
bool ReachListedScanner(ScannerSession& session, FrontEnd& front, const PortList& listed, std::uint32_t i) {
  if (!OpenSessionPort(session, listed.numbers[i])) {
    front.ShowPortStatus(i, L"Please Open Ports!");
    return false;
  }
  if (!WakeDevice(session)) {
    front.ShowPortStatus(i, L"Send '*' Failed!");
    return false;
  }
  return true;
}
}  // namespace

bool EraseScanners(ScannerSession& session, FrontEnd& front, const PortList* listed) {
  const bool manual = listed == nullptr;
  std::uint32_t portCount = manual ? 1 : listed->count;
  if (manual) {
    if (!CheckPortsOpen(session, front)) return false;
    // Woken before the question: a scanner that cannot be reached is not asked about.
    if (!WakeDevice(session)) {
      ShowAppBox(front, L"Send '*' Failed!", BoxIconError);
      return false;
    }
    if (LastDownloadFailed(session.port.number) &&
        front.ShowBox(LastDownloadFailedQuestion, L"Warning", BoxYesNo | BoxIconWarning) !=
            AnswerYes)
      return false;
  }
  if (front.ShowBox(DeleteQuestionText, L"Warning", BoxYesNoCancel | BoxIconWarning) != AnswerYes)
    return false;

  bool allErased = true;
  for (std::uint32_t i = 0; i < portCount && i < MaxPorts; ++i) {
    if (!manual && LastDownloadFailed(listed->numbers[i])) {
      front.ShowPortStatus(i, NotDeletedText);  // its records may be all it has
      allErased = false;
      continue;
    }
    if (!manual && !ReachListedScanner(session, front, *listed, i)) {
      allErased = false;
      continue;
    }
    const bool erased = SendSetting(session, Command::EraseBarcodes);
    if (manual) {
      if (erased)
        front.ShowBox(SucceedText, L"Infomation", BoxIconInformation);
      else
        ShowErrorBox(front, FailedText);
      return erased;
    }
    if (erased) {
      CloseSessionPort(session);
      front.ShowPortStatus(i, SucceedText);
    } else {
      front.ShowPortStatus(i, FailedText);
      CloseSessionPort(session);
      allErased = false;
    }
  }
  return allErased;
}
