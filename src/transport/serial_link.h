#pragma once
// The few byte operations the scanner protocol needs from a COM port. The real
// port (SerialPort) implements them; tests put a scripted link in its place.
#include <atomic>
#include <cstddef>
#include <cstdint>

enum FlowControl : std::uint32_t { FlowNone = 0, FlowHardware = 1, FlowSoftware = 2 };

// What a line showed besides its bytes, worst last. "No byte in this window" is
// no fault: a silent scanner is told apart from a broken line by this.
enum class LinkFault : std::uint8_t {
  None = 0,
  LineError = 1,  // the driver reported bytes lost or garbled (overrun, framing, parity)
  Broken = 2,     // a read or write failed: the port is gone (unplugged) or unusable
};

class SerialLink {
 public:
  virtual ~SerialLink() = default;

  // parity and stopBits are the Windows DCB codes (NOPARITY 0 .., ONESTOPBIT 0 ..).
  virtual bool Open(std::uint32_t portNumber, std::uint32_t baudRate, std::uint8_t dataBits,
                    std::uint8_t stopBits, std::uint8_t parity, std::uint32_t flowControl) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // True only when every byte was written; false for length 0 or a closed port.
  virtual bool Write(const std::uint8_t* bytes, std::size_t length) = 0;
  // Bytes placed in buffer. Ends when count bytes arrived, totalTimeoutMs passed
  // since the start, or (intervalTimeoutMs > 0) the gap between two bytes grew
  // larger than intervalTimeoutMs. totalTimeoutMs 0: take only what is waiting.
  virtual std::size_t Read(std::uint8_t* buffer, std::size_t count, std::uint32_t totalTimeoutMs,
                           std::uint32_t intervalTimeoutMs) = 0;
  // Drops everything in the input queue.
  virtual void DiscardInput() = 0;
  virtual std::size_t BytesWaiting() = 0;
  // The worst fault seen since the port was opened or this was last called;
  // calling it forgets it. Reads and writes keep their plain results, so
  // whoever must tell a broken line from a quiet one asks here.
  virtual LinkFault TakeFault();

  // Once *stop is set, a read under way returns within StopSliceMs with what
  // it has (nullptr: reads run their windows out). Backends that cannot cut a
  // read short ignore it.
  void SetStop(const std::atomic<bool>* stop) { stop_ = stop; }
  static constexpr long StopSliceMs = 100;

 protected:
  bool StopWatched() const { return stop_ != nullptr; }
  bool StopSet() const { return stop_ && stop_->load(); }
  // Backends note each fault they meet; Open forgets the old port's.
  void NoteFault(LinkFault fault);
  void ForgetFault() { fault_ = LinkFault::None; }

 private:
  LinkFault fault_ = LinkFault::None;
  const std::atomic<bool>* stop_ = nullptr;
};

// Where a message states its own size: a big-endian field of `size` bytes at
// `offset`, the whole message being its value plus `overhead` bytes.
struct LengthField {
  std::size_t offset;
  std::size_t size;
  std::size_t overhead;
};

// A read that ends as soon as the message is in: its byte count is learned from
// the length field once the first bytes have come (never more than count; a
// message too short to hold the field ends where the field would). Nothing
// within totalTimeoutMs: 0. From the first byte on the window no longer cuts
// the message; only a silence of gapMs (intervalTimeoutMs, or totalTimeoutMs
// when that is 0; up to twice that, as the underlying reads fall) ends it
// early, with what arrived. Bytes behind the message stay queued for the next
// read. already: bytes of the message that are in buffer before the call (read
// by the caller); the window then counts as begun.
std::size_t ReadMessage(SerialLink& link, std::uint8_t* buffer, std::size_t count,
                        const LengthField& field, std::uint32_t totalTimeoutMs,
                        std::uint32_t intervalTimeoutMs, std::size_t already = 0);

// A read of data that states no size of its own (plain mode): from the first
// byte on, the window no longer cuts it while bytes keep coming. It ends when
// count bytes are in or a whole window of totalTimeoutMs brings nothing, so
// each read takes up to count bytes of what the scanner sends back to back,
// whatever the line's speed. Nothing within the first window: 0.
std::size_t ReadUntilQuiet(SerialLink& link, std::uint8_t* buffer, std::size_t count,
                           std::uint32_t totalTimeoutMs, std::uint32_t intervalTimeoutMs);
