#include "transport/device_port.h"

#include <atomic>

// Built during static initialisation, before the window exists; its destructor
// at exit closes a port still open.
SerialPort DevicePort;

namespace {
std::atomic<SerialLink*> CurrentLink{nullptr};
}  // namespace

SerialLink& ExchangeLink() {
  SerialLink* link = CurrentLink.load();
  return link ? *link : DevicePort;
}

void SetExchangeLink(SerialLink* link) { CurrentLink.store(link); }
