#include "protocol/device_info.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/ansi_text.h"
#include "common/outcome.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"

namespace {
constexpr std::size_t DeviceInfoBufferSize = 1024;

// The payload up to its first zero byte, as wide text: a zero inside would
// end a path or a message early anyway.
std::wstring PayloadText(const std::uint8_t* payload, std::size_t length) {
  const char* text = reinterpret_cast<const char*>(payload);
  const void* zero = std::memchr(text, 0, length);
  std::size_t used = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : length;
  return AnsiToWide(text, used);
}
}  // namespace

bool QuerySerialNumber(ScannerSession& session, std::wstring& out) {
  return QuerySerialNumber(session, out, Reply::SerialNumberForList);
}

bool QuerySerialNumber(ScannerSession& session, std::wstring& out, const ReplyRead& read) {
  std::vector<std::uint8_t> reply(read.maxPayload + (read.stripMarker ? 0 : MarkerLength) + 1, 0);
  std::size_t length = 0;
  if (Query(session, Command::GetSerialNumber, read, reply.data(), reply.size(), &length) !=
      QueryOutcome::Ok)
    return false;
  out = PayloadText(reply.data(), length);
  return true;
}

ScannerIdentity IdentifyScanner(ScannerSession& session) {
  ScannerIdentity identity;
  const WakeAnswer answer = WakeForAnswer(session);
  identity.woken = answer != WakeAnswer::NotWritten;
  if (!identity.woken) return identity;
  identity.answered = answer != WakeAnswer::Silent;
  identity.framed = session.framed != 0;
  std::wstring serial;
  if (QuerySerialNumber(session, serial)) identity.serial = serial;
  return identity;
}

bool ReportDeviceInfo(ScannerSession& session, FrontEnd& front) {
  if (!CheckPortsOpen(session, front)) return false;
  if (!WakeDevice(session)) {
    ShowAppBox(front, OutcomeWords(Outcome::WakeFailed), BoxIconError);
    return false;
  }
  std::uint8_t reply[DeviceInfoBufferSize] = {};
  std::size_t length = 0;
  switch (Query(session, Command::GetDeviceInfo, Reply::DeviceInfo, reply, sizeof reply, &length)) {
    case QueryOutcome::SendFailed:
      ShowErrorBox(front, L"Get Device Info Error!");
      return false;
    case QueryOutcome::ReplyFailed:
      ShowErrorBox(front, L"Get Devices Info Error!");
      return false;
    case QueryOutcome::Ok:
      break;
  }
  std::wstring text = PayloadText(reply, length);
  FormatDeviceInfo(text);
  front.ShowBox(text, L"Device Infomation", BoxIconInformation);
  return true;
}

void FormatDeviceInfo(std::wstring& text) {
  // The result grows as needed: every group is kept, however many there are.
  std::wstring result;
  result.reserve(text.size() + 50);
  std::size_t start = 0;
  for (;;) {
    std::size_t close = text.find(L'}', start);
    if (close == std::wstring::npos) break;
    std::size_t last = close;
    if (close + 1 < text.size() && text[close + 1] == L';') last = close + 1;
    result.append(text, start, last - start + 1);
    result += L"\r\n";
    start = last + 1;
  }
  text = std::move(result);
}
