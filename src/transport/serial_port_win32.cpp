// SerialPort on a Windows COM port: overlapped I/O with the object's one
// manual-reset event, read time-outs set per read, a write time-out, line
// errors cleared (and noted) before every transfer. Every wait has a limit: a
// request the driver does not end in time is cancelled.
#include <windows.h>

#include <cstdio>
#include <string>

#include "transport/serial_port.h"

namespace {
constexpr DWORD SmallestQueue = 384;
constexpr DWORD PurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;  // 15

HANDLE PortHandle(void* handle) { return static_cast<HANDLE>(handle); }

// The port's current DCB, as the driver reports it.
bool ReadCommState(HANDLE port, DCB& dcb) {
  ZeroMemory(&dcb, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  return GetCommState(port, &dcb) != FALSE;
}

// One transfer never asks for more than a DWORD can count.
DWORD TransferSize(std::size_t count) {
  return count > MAXDWORD ? MAXDWORD : static_cast<DWORD>(count);
}

// How long to wait for a request whose own time-out is timeoutMs.
DWORD WaitLimit(std::uint32_t timeoutMs) {
  return timeoutMs > MAXDWORD - 1 - CompletionGraceMs ? MAXDWORD - 1 : timeoutMs + CompletionGraceMs;
}

enum class Ending { Done, TimedOut, Failed, Cancelled };

// Waits for a pending request, at most limitMs. One the driver has not ended
// by then is cancelled, and its result is still collected: the OVERLAPPED and
// the buffer must outlive the request. transferred gets the bytes moved.
Ending FinishRequest(HANDLE port, HANDLE event, OVERLAPPED& overlapped, DWORD limitMs,
                     DWORD& transferred) {
  HANDLE signal = event != nullptr ? event : port;
  if (WaitForSingleObject(signal, limitMs) != WAIT_OBJECT_0) {
    CancelIo(port);
    GetOverlappedResult(port, &overlapped, &transferred, TRUE);
    return Ending::Cancelled;
  }
  if (GetOverlappedResult(port, &overlapped, &transferred, FALSE)) return Ending::Done;
  // A time-out ends a read with fewer bytes: Windows reports success, Wine
  // FALSE with ERROR_TIMEOUT.
  return GetLastError() == ERROR_TIMEOUT ? Ending::TimedOut : Ending::Failed;
}

constexpr DWORD LineErrors = CE_RXOVER | CE_OVERRUN | CE_FRAME | CE_RXPARITY;
}  // namespace

SerialPort::SerialPort()
    : handle_(INVALID_HANDLE_VALUE), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

SerialPort::~SerialPort() {
  Close();
  if (event_ != nullptr) CloseHandle(PortHandle(event_));
  event_ = nullptr;
}

std::string SerialPort::DevicePath(std::uint32_t portNumber) {
  char path[32] = {};
  std::snprintf(path, sizeof path, "\\\\.\\COM%u", static_cast<unsigned>(portNumber));
  return path;
}

// The path is UTF-8 text; one that is not, or is longer than Windows' longest
// path, opens nothing.
PortOpen SerialPort::OpenDevice(const std::string& path) {
  constexpr int LongestPath = 32767;
  if (path.size() > static_cast<std::size_t>(LongestPath)) return PortOpen::Failed;
  const int length = static_cast<int>(path.size());
  const int wideLength =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, nullptr, 0);
  if (wideLength <= 0 || wideLength > LongestPath) return PortOpen::Failed;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, &wide[0],
                          wideLength) != wideLength)
    return PortOpen::Failed;
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  // The port is opened unshared: another program that has it open is refused.
  if (handle == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_ACCESS_DENIED ? PortOpen::InUse : PortOpen::Failed;
  handle_ = handle;
  return PortOpen::Opened;
}

// No read time-outs (timed reads set their own); a write the line does not
// take within WriteTimeoutMs ends, so a stuck line cannot hold it.
bool SerialPort::ClearTimeouts() {
  COMMTIMEOUTS timeouts = {};
  timeouts.WriteTotalTimeoutConstant = WriteTimeoutMs;
  return SetCommTimeouts(PortHandle(handle_), &timeouts) != FALSE;
}

void SerialPort::PurgeQueues() { PurgeComm(PortHandle(handle_), PurgeAll); }

void SerialPort::Close() {
  if (!IsOpen()) return;
  CloseHandle(PortHandle(handle_));
  handle_ = INVALID_HANDLE_VALUE;
}

bool SerialPort::IsOpen() const { return PortHandle(handle_) != INVALID_HANDLE_VALUE; }

bool SerialPort::SetQueueSizes(std::uint32_t inBytes, std::uint32_t outBytes) {
  DWORD in = inBytes < SmallestQueue ? SmallestQueue : inBytes;
  DWORD out = outBytes < SmallestQueue ? SmallestQueue : outBytes;
  return SetupComm(PortHandle(handle_), in, out) != FALSE;
}

bool SerialPort::SetReadTimeouts(std::uint32_t totalConstantMs, std::uint32_t intervalMs,
                                 std::uint32_t multiplier) {
  COMMTIMEOUTS timeouts = {};
  if (!GetCommTimeouts(PortHandle(handle_), &timeouts)) return false;
  timeouts.ReadIntervalTimeout = intervalMs;
  timeouts.ReadTotalTimeoutMultiplier = multiplier;
  timeouts.ReadTotalTimeoutConstant = totalConstantMs;
  return SetCommTimeouts(PortHandle(handle_), &timeouts) != FALSE;
}

bool SerialPort::SetLineFormat(std::uint32_t baudRate, std::uint8_t dataBits,
                               std::uint8_t stopBits, std::uint8_t parity) {
  DCB dcb;
  if (!ReadCommState(PortHandle(handle_), dcb)) return false;
  // Only these fields change; XonLim, XoffLim and the special characters stay
  // as the driver reported them.
  dcb.BaudRate = baudRate;
  dcb.ByteSize = dataBits;
  dcb.Parity = parity;
  dcb.StopBits = stopBits;
  dcb.fBinary = 1;
  dcb.fParity = 1;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 1;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 0;
  dcb.ErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = 0;
  return SetCommState(PortHandle(handle_), &dcb) != FALSE;
}

bool SerialPort::SetFlowControl(std::uint32_t flowControl) {
  DCB dcb;
  if (!ReadCommState(PortHandle(handle_), dcb)) return false;
  const bool hardware = flowControl == FlowHardware;
  const bool software = flowControl == FlowSoftware;
  dcb.fOutxCtsFlow = hardware ? 1 : 0;
  dcb.fOutxDsrFlow = hardware ? 1 : 0;
  dcb.fDtrControl = hardware ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
  dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
  dcb.fOutX = software ? 1 : 0;
  dcb.fInX = software ? 1 : 0;
  return SetCommState(PortHandle(handle_), &dcb) != FALSE;
}

// Also clears a pending line error, so that the next transfer can go on; a
// lost or garbled byte is noted, and a port the driver no longer serves too.
std::size_t SerialPort::BytesWaiting() {
  if (!IsOpen()) return 0;
  DWORD errors = 0;
  COMSTAT status;
  ZeroMemory(&status, sizeof status);
  if (!ClearCommError(PortHandle(handle_), &errors, &status)) {
    NoteFault(LinkFault::Broken);
    return 0;
  }
  if (errors & LineErrors) NoteFault(LinkFault::LineError);
  return status.cbInQue;
}

bool SerialPort::Write(const std::uint8_t* bytes, std::size_t length) {
  if (!IsOpen() || length == 0 || length > MAXDWORD) return false;
  HANDLE port = PortHandle(handle_);
  OVERLAPPED overlapped;
  ZeroMemory(&overlapped, sizeof overlapped);
  overlapped.hEvent = PortHandle(event_);
  BytesWaiting();
  DWORD written = 0;
  if (!WriteFile(port, bytes, static_cast<DWORD>(length), &written, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) {
      NoteFault(LinkFault::Broken);
      return false;
    }
    FinishRequest(port, PortHandle(event_), overlapped, WaitLimit(WriteTimeoutMs), written);
  }
  if (written == length) return true;
  // The line did not take every byte within the write time-out: stuck or gone.
  NoteFault(LinkFault::Broken);
  return false;
}

std::size_t SerialPort::Read(std::uint8_t* buffer, std::size_t count, std::uint32_t totalTimeoutMs,
                             std::uint32_t intervalTimeoutMs) {
  if (!IsOpen() || count == 0) return 0;
  HANDLE port = PortHandle(handle_);
  if (totalTimeoutMs == 0) {
    // No-wait read: only what is queued, and the driver told to return at
    // once with what it has (interval MAXDWORD, both totals 0).
    std::size_t waiting = BytesWaiting();
    if (waiting == 0) return 0;
    if (count > waiting) count = waiting;
    intervalTimeoutMs = MAXDWORD;
  }
  if (!SetReadTimeouts(totalTimeoutMs, intervalTimeoutMs, 0)) {
    NoteFault(LinkFault::Broken);
    return 0;
  }
  BytesWaiting();
  OVERLAPPED overlapped;
  ZeroMemory(&overlapped, sizeof overlapped);
  overlapped.hEvent = PortHandle(event_);
  DWORD received = 0;
  if (ReadFile(port, buffer, TransferSize(count), &received, &overlapped)) return received;
  DWORD error = GetLastError();
  if (error == ERROR_IO_PENDING) {
    Ending ending = FinishRequest(port, PortHandle(event_), overlapped, WaitLimit(totalTimeoutMs),
                                  received);
    if (ending == Ending::Failed || ending == Ending::Cancelled) NoteFault(LinkFault::Broken);
  } else if (error != ERROR_TIMEOUT) {
    // Under Wine a port whose pty is gone fails at once (ERROR_BROKEN_PIPE).
    NoteFault(LinkFault::Broken);
  }
  return received;
}
