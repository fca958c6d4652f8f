#include "collect/delete_barcodes.h"

#include <cstdint>
#include <optional>

#include "collect/collection_job.h"
#include "common/front_end.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"

namespace {
// Auto mode: opens and wakes the scanner of entry i; false (with its "Status")
// when that fails. The port is left for the next open to replace.
std::optional<Outcome> ReachListedScanner(ScannerSession& session, FrontEnd& front,
                                          const PortList& listed, std::uint32_t i) {
  std::optional<Outcome> failure;
  if (!OpenSessionPort(session, listed.numbers[i]))
    failure = Outcome::NoPortOpen;
  else if (!WakeDevice(session))
    failure = Outcome::WakeFailed;
  if (failure) front.ShowPortStatus(i, OutcomeWords(*failure));
  return failure;
}
}  // namespace

Outcome EraseScanners(ScannerSession& session, FrontEnd& front, const DownloadHistory& history,
                      const PortList* listed) {
  const bool manual = listed == nullptr;
  std::uint32_t portCount = manual ? 1 : listed->count;
  if (manual) {
    if (!CheckPortsOpen(session, front)) return Outcome::NoPortOpen;
    // Woken before the question: a scanner that cannot be reached is not asked about.
    if (!WakeDevice(session)) {
      ShowAppBox(front, OutcomeWords(Outcome::WakeFailed), BoxIconError);
      return Outcome::WakeFailed;
    }
    if (history.LastFailed(session.port.number) &&
        front.ShowBox(LastDownloadFailedQuestion, L"Warning", BoxYesNo | BoxIconWarning) !=
            AnswerYes)
      return Outcome::Cancelled;
  }
  if (front.ShowBox(DeleteQuestionText, L"Warning", BoxYesNoCancel | BoxIconWarning) != AnswerYes)
    return Outcome::Cancelled;

  Outcome overall = Outcome::DeleteSucceed;
  for (std::uint32_t i = 0; i < portCount && i < MaxPorts; ++i) {
    if (!manual && history.LastFailed(listed->numbers[i])) {
      front.ShowPortStatus(i, OutcomeWords(Outcome::NotDeleted));  // its records may be all it has
      overall = Outcome::NotDeleted;
      continue;
    }
    if (!manual) {
      if (const std::optional<Outcome> failure = ReachListedScanner(session, front, *listed, i)) {
        overall = *failure;
        continue;
      }
    }
    const bool erased = SendSetting(session, Command::EraseBarcodes);
    const Outcome outcome = erased ? Outcome::DeleteSucceed : Outcome::DeleteFailed;
    if (manual) {
      if (erased)
        front.ShowBox(OutcomeWords(outcome), L"Infomation", BoxIconInformation);
      else
        ShowErrorBox(front, OutcomeWords(outcome));
      return outcome;
    }
    if (erased) {
      CloseSessionPort(session);
      front.ShowPortStatus(i, OutcomeWords(outcome));
    } else {
      front.ShowPortStatus(i, OutcomeWords(outcome));
      CloseSessionPort(session);
      overall = outcome;
    }
  }
  return overall;
}
