#pragma once
// Finding the COM ports that belong to KT52 scanners (a USB virtual COM port
// with the scanner's vendor and product id, or a Bluetooth Serial Port Profile
// port).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

constexpr std::uint32_t MaxPorts = 100;

// Scanner COM numbers in ascending order. Entry i is entry i of the port combo
// box and row i of the device list.
struct PortList {
  std::uint32_t numbers[MaxPorts] = {};
  std::uint32_t count = 0;
};

// Line settings of every scanner port: 115200 baud, 8 data bits, one stop bit,
// no parity, no flow control.
constexpr std::uint32_t ScannerBaudRate = 115200;

// Room the platform gives each device fact, as the Windows buffers are sized:
// the instance id and "HardwareDevinstpath" share 260 wide characters (the
// value at most 518 bytes), "PortName" gets 32 wide characters (at most 62 bytes).
constexpr std::size_t InstanceIdChars = 260;
constexpr std::size_t HardwarePathBytes = 518;
constexpr std::size_t PortNameChars = 32;
constexpr std::size_t PortNameBytes = 62;

// Whether a device instance id (or the "HardwareDevinstpath" of a virtual
// port) names a scanner.
bool MatchScannerInstanceId(std::wstring_view id);

// The number of a port name such as "COM7" ("COM" in any ASCII case, then
// 1..65536 in decimal digits only); 0 when the name is not a usable port.
std::uint32_t PortNumberFromName(std::wstring_view name);
// The decimal digits alone; 0 for empty text, a non-digit, or more than 65536.
std::uint32_t PortNumberFromDigits(std::wstring_view digits);

// One device of the Ports class. The facts are read only when the matching
// rule needs them, as the registry is on Windows.
class PortDevice {
 public:
  virtual ~PortDevice() = default;
  // False when the platform cannot give the id (or it does not fit InstanceIdChars).
  virtual bool InstanceId(std::wstring& id) = 0;
  // A string value of the device's hardware key, at most maxBytes bytes long;
  // false when missing, not a string, or too long.
  virtual bool RegistryText(const wchar_t* name, std::size_t maxBytes, std::wstring& text) = 0;
};

// The scanner COM number of one device, 0 when it is not a listed scanner
// port; *bluetooth tells whether the scanner id it matched is a Bluetooth one.
std::uint32_t ScannerPortNumber(PortDevice& device, bool* bluetooth = nullptr);

// The devices of the Ports setup class, one after another.
class PortDeviceSource {
 public:
  virtual ~PortDeviceSource() = default;
  // Calls visit on each device, in the platform's order, until visit returns false.
  virtual void VisitDevices(const std::function<bool(PortDevice&)>& visit) = 0;
};

// Stores the scanner ports among the source's devices into numbers, stopping
// once capacity are stored, sorts them ascending and returns the count.
std::uint32_t CollectScannerPorts(PortDeviceSource& source, std::uint32_t* numbers,
                                  std::uint32_t capacity);
// Ascending selection sort: the smallest remaining number goes to each position.
void SortPortNumbers(std::uint32_t* numbers, std::uint32_t count);

// The machine's devices. Windows: the present devices of the Ports setup
// class. Native build: every com<n> entry of $LUMET_COM_FOLDER (where
// SerialPort opens COM<n>), taken as a USB scanner.
PortDeviceSource& MachinePortDevices();
// Test hook: where EnumerateDevicePorts looks instead of the machine
// (nullptr: the machine again). The source must outlive its use.
void SetPortDeviceSource(PortDeviceSource* source);
// The scanner ports of the current device source, ascending, at most capacity.
std::uint32_t EnumerateDevicePorts(std::uint32_t* numbers, std::uint32_t capacity);

// The same with what each port is: USB or Bluetooth, and the device's
// instance id, which tells one scanner from another on the same COM number
// (empty when the platform cannot give it). At most MaxPorts.
struct ScannerPort {
  std::uint32_t number = 0;
  bool bluetooth = false;
  std::wstring instanceId;
};
std::vector<ScannerPort> EnumerateScannerPorts();
