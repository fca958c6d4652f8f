#pragma once
// A SerialLink with a simulated KT52 (kt52sim/kt52_device.h) on the other end,
// on virtual time: fast flow tests against a realistic scanner.
//
// What the host writes goes to the device at once; what the device answers is
// readable at once. A Read returns what is waiting, up to count; when that is
// less than count the virtual clock moves on by the read's time-out (the
// inter-byte gap when one is set and something arrived, otherwise the total),
// as a real port would wait, and takes what the scanner sent during that wait.
// A no-wait Read (total 0) never moves the clock.
// The device's clock follows the virtual clock.
//
//   VirtualTimeScope time;
//   kt52::DeviceOptions options;
//   options.transport = kt52::Transport::Plain;
//   options.generatedRecords = 300;
//   options.badXorFrame = 2;                    // any fault of DeviceOptions
//   SimulatedScannerLink link(options);         // a scanner on every COM number
//   DialogSession.link = &link;  (or a session of the test's own)
//   ... run the operation ...
//   link.Device().Commands();                   // what the scanner was sent
//
// Several scanners: default-construct and AddScanner(portNumber, options) for
// each; Open then fails for a number without one. Opening a port starts a new
// conversation with its scanner (unfinished input and unread answers are
// dropped, as PurgeComm does). After a line-closing fault reads give nothing
// and writes fail until the port is opened again.
//
// Calls are serialised by a lock, so a worker thread may drive the link while
// the test waits; read the device's state once the worker has finished.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "kt52sim/kt52_device.h"
#include "transport/serial_link.h"

class SimulatedScannerLink final : public SerialLink {
 public:
  // No scanner yet: add them with AddScanner.
  SimulatedScannerLink();
  // One scanner, reachable on every port number.
  explicit SimulatedScannerLink(const kt52::DeviceOptions& options);

  void AddScanner(std::uint32_t portNumber, const kt52::DeviceOptions& options);
  // The scanner on that port (for the single-scanner form, any number).
  kt52::Kt52Device& Device(std::uint32_t portNumber = 0);

  bool Open(std::uint32_t portNumber, std::uint32_t baudRate, std::uint8_t dataBits,
            std::uint8_t stopBits, std::uint8_t parity, std::uint32_t flowControl) override;
  void Close() override;
  bool IsOpen() const override;
  bool Write(const std::uint8_t* bytes, std::size_t length) override;
  std::size_t Read(std::uint8_t* buffer, std::size_t count, std::uint32_t totalTimeoutMs,
                   std::uint32_t intervalTimeoutMs) override;
  void DiscardInput() override;
  std::size_t BytesWaiting() override;

  // Opens the link on a port at once, as a test that skips the port controls needs.
  bool OpenPort(std::uint32_t portNumber = 1);
  std::uint32_t OpenedPort() const;
  std::size_t OpenCount() const;

 private:
  kt52::Kt52Device* Current();
  void Collect();
  std::size_t Take(std::uint8_t* buffer, std::size_t count);  // from the answers waiting
  void Advance(std::uint64_t ms);

  mutable std::mutex mutex_;
  std::unique_ptr<kt52::Kt52Device> anyPort_;
  std::map<std::uint32_t, std::unique_ptr<kt52::Kt52Device>> byPort_;
  bool open_ = false;
  std::uint32_t port_ = 0;
  std::size_t openCount_ = 0;
  kt52::Bytes input_;  // answers not yet read by the host
  std::uint64_t deviceTimeMs_ = 0;
};
