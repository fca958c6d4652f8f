// SerialPort on a Windows COM port: overlapped I/O with the object's one
// manual-reset event, read time-outs set per read, line errors cleared before
// every transfer.
#include <windows.h>

#include <cstdio>
#include <cwchar>

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

bool SerialPort::OpenDevice(std::uint32_t portNumber) {
  wchar_t path[32] = {};
  std::swprintf(path, sizeof path / sizeof path[0], L"\\\\.\\COM%u",
                static_cast<unsigned>(portNumber));
  HANDLE handle = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = handle;
  return true;
}

// No read or write time-outs; timed reads set their own.
bool SerialPort::ClearTimeouts() {
  COMMTIMEOUTS none = {};
  return SetCommTimeouts(PortHandle(handle_), &none) != FALSE;
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

// Also clears a pending line error, so that the next transfer can go on.
std::size_t SerialPort::BytesWaiting() {
  DWORD errors = 0;
  COMSTAT status;
  ZeroMemory(&status, sizeof status);
  if (!ClearCommError(PortHandle(handle_), &errors, &status)) return 0;
  return status.cbInQue;
}

bool SerialPort::Write(const std::uint8_t* bytes, std::size_t length) {
  if (!IsOpen() || length == 0 || length > MAXDWORD) return false;
  OVERLAPPED overlapped;
  ZeroMemory(&overlapped, sizeof overlapped);
  overlapped.hEvent = PortHandle(event_);
  BytesWaiting();
  DWORD written = 0;
  if (!WriteFile(PortHandle(handle_), bytes, static_cast<DWORD>(length), &written, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) return false;
    // No write time-outs are set: this waits until the driver took every byte.
    GetOverlappedResult(PortHandle(handle_), &overlapped, &written, TRUE);
  }
  return written == length;
}

std::size_t SerialPort::Read(std::uint8_t* buffer, std::size_t count, std::uint32_t totalTimeoutMs,
                             std::uint32_t intervalTimeoutMs) {
  if (!IsOpen() || count == 0) return 0;
  OVERLAPPED overlapped;
  ZeroMemory(&overlapped, sizeof overlapped);
  overlapped.hEvent = PortHandle(event_);
  if (totalTimeoutMs != 0) {
    if (!SetReadTimeouts(totalTimeoutMs, intervalTimeoutMs, 0)) return 0;
  } else {
    // No-wait read: only what is queued, so the read completes at once.
    std::size_t waiting = BytesWaiting();
    if (waiting == 0) return 0;
    if (count > waiting) count = waiting;
  }
  BytesWaiting();
  DWORD received = 0;
  if (ReadFile(PortHandle(handle_), buffer, TransferSize(count), &received, &overlapped))
    return received;
  if (GetLastError() != ERROR_IO_PENDING) return received;
  // A read that times out completes with fewer bytes than asked: Windows
  // reports success, Wine FALSE with ERROR_TIMEOUT. Either way the count
  // holds the bytes transferred so far.
  GetOverlappedResult(PortHandle(handle_), &overlapped, &received, TRUE);
  return received;
}
