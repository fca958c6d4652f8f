#include "support/scripted_link.h"

#include <algorithm>
#include <cstring>

#include "support/virtual_time.h"
#include "transport/serial_port.h"

bool ScriptedLink::Open(std::uint32_t portNumber, std::uint32_t, std::uint8_t, std::uint8_t,
                        std::uint8_t, std::uint32_t flowControl) {
  if (flowControl > 2) return false;
  open_ = false;
  if (failOpen) return false;
  openedPorts.push_back(portNumber);
  open_ = true;
  return true;
}

void ScriptedLink::Close() { open_ = false; }

bool ScriptedLink::IsOpen() const { return open_; }

bool ScriptedLink::Write(const std::uint8_t* bytes, std::size_t length) {
  if (length == 0 || failWrites) return false;
  if (stuckWrites) {
    virtual_time::Advance(WriteTimeoutMs + CompletionGraceMs);
    NoteFault(LinkFault::Broken);
    return false;
  }
  Bytes written(bytes, bytes + length);
  writes.push_back(written);
  if (!pending_.empty()) {
    for (auto& burst : pending_.front()) input_.push_back(std::move(burst));
    pending_.pop_front();
  }
  if (onWrite) onWrite(*this, written);
  return true;
}

std::size_t ScriptedLink::Read(std::uint8_t* buffer, std::size_t count,
                               std::uint32_t totalTimeoutMs, std::uint32_t intervalTimeoutMs) {
  readRequests.push_back({count, totalTimeoutMs, intervalTimeoutMs});
  if (count == 0) return 0;
  if (stuckReads && totalTimeoutMs != 0) {
    virtual_time::Advance(totalTimeoutMs + CompletionGraceMs);
    NoteFault(LinkFault::Broken);
    return 0;
  }
  while (!input_.empty() && input_.front().empty()) input_.pop_front();
  if (input_.empty() || silentReads) {
    if (silentReads) --silentReads;
    virtual_time::Advance(totalTimeoutMs);
    return 0;
  }
  Bytes& burst = input_.front();
  std::size_t n = std::min(count, burst.size());
  std::memcpy(buffer, burst.data(), n);
  burst.erase(burst.begin(), burst.begin() + static_cast<long>(n));
  if (burst.empty()) input_.pop_front();
  // A read that did not fill its count waited out a gap or the window.
  if (n < count && totalTimeoutMs)
    virtual_time::Advance(intervalTimeoutMs ? std::min(intervalTimeoutMs, totalTimeoutMs)
                                            : totalTimeoutMs);
  return n;
}

void ScriptedLink::DiscardInput() {
  for (auto& burst : input_) discardedBytes += burst.size();
  input_.clear();
}

std::size_t ScriptedLink::BytesWaiting() { return input_.empty() ? 0 : input_.front().size(); }

void ScriptedLink::QueueNow(const Bytes& burst) { input_.push_back(burst); }

void ScriptedLink::ReplyToNextWrite(std::vector<Bytes> bursts) {
  pending_.push_back(std::move(bursts));
}

ScriptedLink::Bytes ToBytes(const std::string& text) { return ScriptedLink::Bytes(text.begin(), text.end()); }

std::string ToText(const ScriptedLink::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
