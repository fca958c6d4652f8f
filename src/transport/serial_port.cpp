// What both SerialPort backends do alike, over their platform steps.
#include "transport/serial_port.h"

namespace {
constexpr std::uint32_t QueueBytes = 4096;
constexpr std::size_t DiscardBlock = 1024;
}  // namespace

bool SerialPort::Open(std::uint32_t portNumber, std::uint32_t baudRate, std::uint8_t dataBits,
                      std::uint8_t stopBits, std::uint8_t parity, std::uint32_t flowControl) {
  return OpenPath(DevicePath(portNumber), baudRate, dataBits, stopBits, parity, flowControl) ==
         PortOpen::Opened;
}

PortOpen SerialPort::OpenPath(const std::string& path, std::uint32_t baudRate, std::uint8_t dataBits,
                          std::uint8_t stopBits, std::uint8_t parity, std::uint32_t flowControl) {
  if (flowControl > FlowSoftware) return PortOpen::Failed;  // an open port stays open
  Close();
  ForgetFault();
  // A zero byte would end the path early and open another device.
  if (path.empty() || path.find('\0') != std::string::npos) return PortOpen::Failed;
  if (const PortOpen opened = OpenDevice(path); opened != PortOpen::Opened) return opened;
  if (!SetQueueSizes(QueueBytes, QueueBytes) || !ClearTimeouts() ||
      !SetLineFormat(baudRate, dataBits, stopBits, parity)) {
    Close();
    return PortOpen::Failed;
  }
  SetFlowControl(flowControl);  // a port without flow control still works
  PurgeQueues();
  return PortOpen::Opened;
}

void SerialPort::DiscardInput() {
  std::uint8_t scratch[DiscardBlock];
  for (int i = 0; i < DiscardReads && Read(scratch, sizeof scratch, 0, 0) != 0; ++i) {
  }
}
