#include "support/simulated_scanner_link.h"

#include <algorithm>
#include <cstring>

#include "support/virtual_time.h"

SimulatedScannerLink::SimulatedScannerLink() : deviceTimeMs_(virtual_time::NowMs()) {}

SimulatedScannerLink::SimulatedScannerLink(const kt52::DeviceOptions& options)
    : anyPort_(std::make_unique<kt52::Kt52Device>(options)),
      deviceTimeMs_(virtual_time::NowMs()) {}

void SimulatedScannerLink::AddScanner(std::uint32_t portNumber,
                                      const kt52::DeviceOptions& options) {
  std::lock_guard<std::mutex> lock(mutex_);
  byPort_[portNumber] = std::make_unique<kt52::Kt52Device>(options);
}

kt52::Kt52Device& SimulatedScannerLink::Device(std::uint32_t portNumber) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (anyPort_) return *anyPort_;
  return *byPort_.at(portNumber);
}

kt52::Kt52Device* SimulatedScannerLink::Current() {
  if (anyPort_) return anyPort_.get();
  auto found = byPort_.find(port_);
  return found == byPort_.end() ? nullptr : found->second.get();
}

// Every scanner's clock follows the virtual clock, whoever moved it.
void SimulatedScannerLink::Advance(std::uint64_t ms) {
  if (ms) virtual_time::Advance(ms);
  std::uint64_t now = virtual_time::NowMs();
  if (now <= deviceTimeMs_) return;
  std::uint64_t passed = now - deviceTimeMs_;
  deviceTimeMs_ = now;
  if (anyPort_) anyPort_->PassTime(passed);
  for (auto& entry : byPort_) entry.second->PassTime(passed);
}

void SimulatedScannerLink::Collect() {
  kt52::Kt52Device* device = Current();
  if (!open_ || !device) return;
  kt52::Bytes out = device->TakeOutput();
  input_.insert(input_.end(), out.begin(), out.end());
}

bool SimulatedScannerLink::Open(std::uint32_t portNumber, std::uint32_t, std::uint8_t,
                                std::uint8_t, std::uint8_t, std::uint32_t flowControl) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (flowControl > FlowSoftware) return false;
  open_ = false;
  input_.clear();
  port_ = portNumber;
  kt52::Kt52Device* device = Current();
  if (!device) return false;
  Advance(0);
  device->Reconnect();
  ForgetFault();
  open_ = true;
  ++openCount_;
  return true;
}

void SimulatedScannerLink::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = false;
  input_.clear();
}

bool SimulatedScannerLink::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool SimulatedScannerLink::Write(const std::uint8_t* bytes, std::size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  kt52::Kt52Device* device = Current();
  if (!open_ || length == 0 || !device) return false;
  if (device->LineClosed()) {
    NoteFault(LinkFault::Broken);
    return false;
  }
  Advance(0);
  device->Receive(bytes, length);
  Collect();
  return true;
}

std::size_t SimulatedScannerLink::Read(std::uint8_t* buffer, std::size_t count,
                                       std::uint32_t totalTimeoutMs,
                                       std::uint32_t intervalTimeoutMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_ || count == 0) return 0;
  Advance(0);
  Collect();
  std::size_t n = Take(buffer, count);
  if (totalTimeoutMs == 0 || n == count) return n;
  // A short read waited out the gap after its last byte or the whole window;
  // what the scanner sent meanwhile is read too.
  std::uint32_t waited = totalTimeoutMs;
  if (n > 0 && intervalTimeoutMs && intervalTimeoutMs < totalTimeoutMs) waited = intervalTimeoutMs;
  Advance(waited);
  Collect();
  return n + Take(buffer + n, count - n);
}

// Once the scanner closed its line, a read that finds nothing more fails as
// an unplugged port's does.
std::size_t SimulatedScannerLink::Take(std::uint8_t* buffer, std::size_t count) {
  kt52::Kt52Device* device = Current();
  if (input_.empty() && device && device->LineClosed()) NoteFault(LinkFault::Broken);
  std::size_t n = std::min(count, input_.size());
  if (n) std::memcpy(buffer, input_.data(), n);
  input_.erase(input_.begin(), input_.begin() + static_cast<long>(n));
  return n;
}

void SimulatedScannerLink::DiscardInput() {
  std::lock_guard<std::mutex> lock(mutex_);
  Collect();
  input_.clear();
}

std::size_t SimulatedScannerLink::BytesWaiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  Collect();
  return input_.size();
}

bool SimulatedScannerLink::OpenPort(std::uint32_t portNumber) {
  return Open(portNumber, 115200, 8, 0, 0, FlowNone);
}

std::uint32_t SimulatedScannerLink::OpenedPort() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return port_;
}

std::size_t SimulatedScannerLink::OpenCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return openCount_;
}
