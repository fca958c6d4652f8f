#pragma once
// One scanner being talked to: its link, the port it is on, the transport
// mode it woke in, and the bounds and choices every exchange with it uses.
// Every operation on a scanner takes its session; two sessions share
// nothing, so two threads may each run one.
#include <atomic>
#include <cstdint>

#include "transport/port_id.h"
#include "transport/serial_link.h"

// Far above any scanner's memory: a download past either bound has gone wrong
// (a scanner that keeps sending, or keeps resending).
inline constexpr std::uint64_t MaxDownloadBytes = 64ull << 20;
inline constexpr std::uint64_t MaxDownloadMs = 10ull * 60 * 1000;

struct DownloadLimits {
  std::uint64_t maxBytes = MaxDownloadBytes;
  std::uint64_t maxMs = MaxDownloadMs;
};

struct ScannerSession {
  explicit ScannerSession(SerialLink* onLink = nullptr) : link(onLink) {}

  SerialLink* link = nullptr;  // never null while an operation runs
  PortId port;                 // the port the link has open; empty when closed
  std::int32_t framed = 0;     // 1 after the scanner answered the wake-up with ACK
  DownloadLimits limits;
  // How the scanner tells that the host took its data: 0 None, 1 Beep, 2 Vibration.
  std::uint8_t responseMode = 0;
  // Set by whoever runs the session (Ctrl-C, a service stop): a download under
  // way ends at its next read, unfinished. nullptr: never asked to stop.
  const std::atomic<bool>* stop = nullptr;
};

inline bool StopAsked(const ScannerSession& session) {
  return session.stop && session.stop->load();
}

// Opens COM<number> on the session's link with the scanner settings; the
// port is then the session's.
bool OpenSessionPort(ScannerSession& session, std::uint32_t number);
// Drops what is waiting and closes the session's port: the end of each
// port's turn in auto mode.
void CloseSessionPort(ScannerSession& session);
