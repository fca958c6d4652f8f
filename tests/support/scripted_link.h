#pragma once
// A SerialLink whose input is scripted by the test, on virtual time.
//
// Input arrives in bursts. One Read takes bytes from the first burst only (a
// burst is what arrives within one read window); a Read with no burst waiting
// advances the virtual clock by its total time-out and returns 0.
// Bursts given to ReplyToNextWrite arrive only after the next Write, so the
// DiscardInput that precedes every command does not drop them.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "transport/serial_link.h"

class ScriptedLink final : public SerialLink {
 public:
  using Bytes = std::vector<std::uint8_t>;

  bool Open(std::uint32_t portNumber, std::uint32_t baudRate, std::uint8_t dataBits,
            std::uint8_t stopBits, std::uint8_t parity, std::uint32_t flowControl) override;
  void Close() override;
  bool IsOpen() const override;
  bool Write(const std::uint8_t* bytes, std::size_t length) override;
  std::size_t Read(std::uint8_t* buffer, std::size_t count, std::uint32_t totalTimeoutMs,
                   std::uint32_t intervalTimeoutMs) override;
  void DiscardInput() override;
  std::size_t BytesWaiting() override;

  // Bytes already waiting in the input queue now.
  void QueueNow(const Bytes& burst);
  // Bursts that arrive after the next write, in order.
  void ReplyToNextWrite(std::vector<Bytes> bursts);
  // Called after every successful write (after scripted replies were released).
  std::function<void(ScriptedLink&, const Bytes& written)> onWrite;

  struct ReadRequest {
    std::size_t count;
    std::uint32_t totalMs;
    std::uint32_t intervalMs;
  };
  std::vector<Bytes> writes;          // every successful write, in order
  std::vector<ReadRequest> readRequests;
  std::vector<std::uint32_t> openedPorts;
  // The next this many reads find nothing, whatever is queued: an answer
  // that comes after its read window.
  std::size_t silentReads = 0;
  bool failOpen = false;
  bool failWrites = false;
  // A driver that ends no request by itself, as the port then behaves: a
  // write waits out the write time-out and the grace after it and fails, a
  // read with a time-out waits out that and the grace and brings nothing;
  // either notes the line broken.
  bool stuckWrites = false;
  bool stuckReads = false;
  std::size_t discardedBytes = 0;

 private:
  bool open_ = false;
  std::deque<Bytes> input_;
  std::deque<std::vector<Bytes>> pending_;
};

ScriptedLink::Bytes ToBytes(const std::string& text);
std::string ToText(const ScriptedLink::Bytes& bytes);
