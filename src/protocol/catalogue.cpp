#include "protocol/catalogue.h"

#include <cstring>

#include "protocol/exchange.h"

bool SendSetting(ScannerSession& session, const char* command) {
  return SendCommand(session, command, std::strlen(command), true);
}

QueryOutcome Query(ScannerSession& session, const char* command, const ReplyRead& read, std::uint8_t* destination,
                   std::size_t destinationCapacity, std::size_t* length) {
  std::size_t room = read.maxPayload + (read.stripMarker ? 0 : MarkerLength) + 1;
  if (destinationCapacity < room) return QueryOutcome::ReplyFailed;
  if (!SendCommand(session, command, std::strlen(command), false)) return QueryOutcome::SendFailed;
  int n = ReceiveWholeReply(session, destination, read.maxPayload, read.totalMs, read.intervalMs, read.bulk,
                            read.stripMarker);
  if (n <= 0) return QueryOutcome::ReplyFailed;
  destination[n] = 0;
  if (length) *length = static_cast<std::size_t>(n);
  return QueryOutcome::Ok;
}
