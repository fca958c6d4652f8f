#pragma once
// One COM port opened for overlapped I/O with one event (Windows), or one tty
// in raw mode (POSIX). At most one is open at a time: Open closes first.
#include <cstdint>
#include <string>

#include "transport/serial_link.h"

// How long the port waits at most (Windows; the POSIX port waits alike). A
// write the line does not take within WriteTimeoutMs fails. A request the
// driver has not ended CompletionGraceMs after its own time-out (the write
// time-out, a read's total) is cancelled: a driver that stops answering
// cannot hold the window or a job.
inline constexpr std::uint32_t WriteTimeoutMs = 3000;
inline constexpr std::uint32_t CompletionGraceMs = 1000;
// DiscardInput takes at most this many no-wait reads: a line that never stops
// sending cannot hold it either.
inline constexpr int DiscardReads = 16;

// How an open ended. InUse: another program holds the device (POSIX: its
// lock or its exclusive mode; Windows: ERROR_ACCESS_DENIED), and nothing was
// sent on it.
enum class PortOpen { Opened, Failed, InUse };

class SerialPort final : public SerialLink {
 public:
  SerialPort();
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens DevicePath(portNumber) as OpenPath does.
  bool Open(std::uint32_t portNumber, std::uint32_t baudRate, std::uint8_t dataBits,
            std::uint8_t stopBits, std::uint8_t parity, std::uint32_t flowControl) override;
  // Opens the device at path ("/dev/ttyACM0"; Windows: "\\.\COM3", UTF-8)
  // with these settings, closing the open port first, and holds it for this
  // program alone. Not Opened, the port left closed, when the device cannot
  // be opened or configured, another program holds it, or the path is empty
  // or holds a zero byte; flow control above FlowSoftware is refused before
  // anything is closed.
  PortOpen OpenPath(const std::string& path, std::uint32_t baudRate, std::uint8_t dataBits,
                std::uint8_t stopBits, std::uint8_t parity, std::uint32_t flowControl);
  void Close() override;
  bool IsOpen() const override;
  bool Write(const std::uint8_t* bytes, std::size_t length) override;
  std::size_t Read(std::uint8_t* buffer, std::size_t count, std::uint32_t totalTimeoutMs,
                   std::uint32_t intervalTimeoutMs) override;
  void DiscardInput() override;
  std::size_t BytesWaiting() override;

  // Configuration steps of Open, each true on success.
  bool SetQueueSizes(std::uint32_t inBytes, std::uint32_t outBytes);
  bool SetReadTimeouts(std::uint32_t totalConstantMs, std::uint32_t intervalMs,
                       std::uint32_t multiplier);
  bool SetLineFormat(std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t stopBits,
                     std::uint8_t parity);
  bool SetFlowControl(std::uint32_t flowControl);

  // Where COM<n> lives. Windows: "\\.\COM<n>". POSIX: "<folder>/com<n>", the
  // folder taken from LUMET_COM_FOLDER (default /dev/lumet), like Wine's dosdevices.
  static std::string DevicePath(std::uint32_t portNumber);

 private:
  // The platform steps of Open: open the device exclusively (handle_ set),
  // turn the read time-outs off (writes get WriteTimeoutMs), drop both queues.
  PortOpen OpenDevice(const std::string& path);
  bool ClearTimeouts();
  void PurgeQueues();

  // Win32: the port HANDLE and the event HANDLE. POSIX: the descriptor in
  // handle_ (-1 closed); event_ unused.
  void* handle_;
  void* event_;
};

// The one port all scanner traffic goes through.
extern SerialPort DevicePort;
