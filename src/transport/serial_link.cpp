// The message read, over the link's own Read, so every port and every test
// link ends a message the same way.
#include "transport/serial_link.h"

LinkFault SerialLink::TakeFault() {
  LinkFault fault = fault_;
  fault_ = LinkFault::None;
  return fault;
}

void SerialLink::NoteFault(LinkFault fault) {
  if (fault > fault_) fault_ = fault;
}

namespace {
// How many bytes the message takes, judged from the got bytes read so far.
std::size_t MessageSize(const std::uint8_t* bytes, std::size_t got, std::size_t count,
                        const LengthField& field) {
  const std::size_t fieldEnd = field.offset + field.size;
  if (got < fieldEnd) return fieldEnd < count ? fieldEnd : count;
  std::size_t length = 0;
  for (std::size_t i = field.offset; i < fieldEnd; ++i) length = (length << 8) | bytes[i];
  std::size_t size = length + field.overhead;
  if (size < fieldEnd) size = fieldEnd;
  return size < count ? size : count;
}
}  // namespace

std::size_t ReadMessage(SerialLink& link, std::uint8_t* buffer, std::size_t count,
                        const LengthField& field, std::uint32_t totalTimeoutMs,
                        std::uint32_t intervalTimeoutMs, std::size_t already) {
  if (count == 0) return 0;
  std::size_t got = already < count ? already : count;
  if (got == 0) got = link.Read(buffer, 1, totalTimeoutMs, intervalTimeoutMs);
  if (got == 0) return 0;
  // The message has begun: each further read waits one gap at most, so a
  // message still arriving is read whole and a silent line ends it.
  const std::uint32_t gapMs = intervalTimeoutMs ? intervalTimeoutMs : totalTimeoutMs;
  for (std::size_t size; got < (size = MessageSize(buffer, got, count, field));) {
    std::size_t n = link.Read(buffer + got, size - got, gapMs, gapMs);
    if (n == 0) break;
    got += n;
  }
  return got;
}

std::size_t ReadUntilQuiet(SerialLink& link, std::uint8_t* buffer, std::size_t count,
                           std::uint32_t totalTimeoutMs, std::uint32_t intervalTimeoutMs) {
  std::size_t got = link.Read(buffer, count, totalTimeoutMs, intervalTimeoutMs);
  while (got > 0 && got < count) {
    std::size_t n = link.Read(buffer + got, count - got, totalTimeoutMs, intervalTimeoutMs);
    if (n == 0) break;
    got += n;
  }
  return got;
}
