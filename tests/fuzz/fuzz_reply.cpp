// Any bytes a scanner may send as one reply: the data-frame check and
// ReceiveWholeReply in framed and plain mode, bulk or not, with and without the
// marker stripped. The destination is exactly as large as a caller makes it,
// so a copy past its end is caught.
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/exchange.h"
#include "support/scripted_link.h"
#include "support/virtual_time.h"

namespace {
const std::size_t PayloadSizes[] = {2, 19, 24, 100, 1000, 10240};

void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "fuzz_reply: %s\n", what);
    __builtin_trap();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t flags = data[0];
  const std::size_t cut = data[1];  // where the reply is split into two bursts
  data += 2;
  size -= 2;

  int payload = CheckDataFrame(data, size);
  Check(payload == -1 || static_cast<std::size_t>(payload) + 11 == size, "frame length");

  VirtualTimeScope time;
  ScriptedLink link;
  ScannerSession session{&link};
  link.Open(1, 115200, 8, 0, 0, 0);
  const std::size_t first = cut < size ? cut : size;
  if (first) link.QueueNow(ScriptedLink::Bytes(data, data + first));
  if (size > first) link.QueueNow(ScriptedLink::Bytes(data + first, data + size));
  session.link = &link;
  session.framed = flags & 1;
  const bool bulk = flags & 2;
  const bool strip = flags & 4;
  const std::size_t maxPayload = PayloadSizes[(flags >> 3) % 6];
  const std::size_t room = maxPayload + (strip ? 0 : MarkerLength);
  std::vector<std::uint8_t> destination(room);
  int n = ReceiveWholeReply(session, destination.data(), maxPayload, 500, 20, bulk, strip);
  Check(n <= static_cast<int>(room), "reply longer than its room");
  Check(n >= 0 || n == ReplyError || n == ReplyGivenUp || n == ReplyRetry, "unknown result");
  
  session.framed = 0;
  return 0;
}
