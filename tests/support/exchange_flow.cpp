#include "support/exchange_flow.h"

#include <cstdint>
#include <vector>

#include "protocol/exchange.h"

std::string AskText(ScannerSession& session, const char* command, const ReplyRead& read) {
  std::vector<std::uint8_t> buffer(read.maxPayload + MarkerLength + 1, 0);
  std::size_t length = 0;
  QueryOutcome outcome = Query(session, command, read, buffer.data(), buffer.size(), &length);
  if (outcome == QueryOutcome::SendFailed) return "<send failed>";
  if (outcome == QueryOutcome::ReplyFailed) return "<reply failed>";
  return std::string(buffer.begin(), buffer.begin() + static_cast<long>(length));
}

std::string DownloadAll(ScannerSession& session) {
  SendSetting(session, Command::DownloadBarcodes);
  const ReplyRead& read = Reply::Download;
  std::vector<std::uint8_t> chunk(read.maxPayload + MarkerLength + 1);
  std::string all;
  // Far more chunks than any test's scanner holds: a scanner that never stops
  // sending ends the download here instead of hanging the test.
  constexpr int MostChunks = 10000;
  for (int chunks = 0; chunks < MostChunks; ++chunks) {
    int n = ReceiveWholeReply(session, chunk.data(), read.maxPayload, read.totalMs, read.intervalMs,
                              read.bulk, read.stripMarker);
    if (n <= 0) break;
    all.append(chunk.begin(), chunk.begin() + n);
  }
  return all;
}
