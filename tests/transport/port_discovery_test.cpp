// Which devices count as scanner ports, how their names become numbers, and
// the "Ports" group: the port list, "Open" and "Close".
#include "transport/port_discovery.h"
#include "ui/dialog_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/exchange.h"
#include "support/scanner_ports.h"
#include "support/scripted_link.h"
#include "ui/control_ids.h"
#include "support/memory_controls.h"
#include "ui/port_controls.h"
#include "support/program_state.h"
#include "ui/window_front_end.h"

namespace {
const std::wstring Spp = L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}";

PortDeviceRecord Usb(const std::wstring& portName) { return UsbScanner(portName); }

std::vector<std::uint32_t> Collect(const std::vector<PortDeviceRecord>& devices,
                                   std::uint32_t capacity = MaxPorts) {
  std::vector<std::uint32_t> numbers(capacity + 1, 0xDEADBEEF);
  std::uint32_t count = CollectScannerPorts(devices, numbers.data(), capacity);
  EXPECT_EQ(0xDEADBEEF, numbers[capacity]) << "wrote past the capacity";
  numbers.resize(count);
  return numbers;
}

TEST(MatchScannerInstanceId, AcceptsEachPatternAsAPrefix) {
  EXPECT_TRUE(MatchScannerInstanceId(L"USB\\VID_2F3C&PID_0A17\\5&ABC&0&1"));
  EXPECT_TRUE(MatchScannerInstanceId(L"USB\\VID_2F3C&PID_0A17"));
  EXPECT_TRUE(MatchScannerInstanceId(Spp + L"_LOCALMFG&0000\\7&1D0B&0&000000000000_00000000"));
  EXPECT_TRUE(MatchScannerInstanceId(Spp + L"_VID&0001000F_PID&1200\\7&2A&0&000000000000_0000000A"));
  EXPECT_TRUE(MatchScannerInstanceId(L"{F12D3CF8-B11D-457E-8641-BE2AF2D6D204}\\VCP\\1"));
}

TEST(MatchScannerInstanceId, RejectsOtherDevices) {
  EXPECT_FALSE(MatchScannerInstanceId(L""));
  EXPECT_FALSE(MatchScannerInstanceId(L"USB\\VID_2F3C&PID_0A18\\1"));
  EXPECT_FALSE(MatchScannerInstanceId(L"USB\\VID_2F3C&PID_0A1"));
  EXPECT_FALSE(MatchScannerInstanceId(L"FTDIBUS\\VID_0403+PID_6001+A1\\0000"));
  EXPECT_FALSE(MatchScannerInstanceId(L" USB\\VID_2F3C&PID_0A17"));
  // The enumerator's prefix includes its backslash.
  EXPECT_FALSE(MatchScannerInstanceId(L"{F12D3CF8-B11D-457E-8641-BE2AF2D6D204}"));
  EXPECT_FALSE(MatchScannerInstanceId(L"{F12D3CF8-B11D-457E-8641-BE2AF2D6D204}VCP"));
}

TEST(MatchScannerInstanceId, FoldsOnlyAsciiCapitals) {
  EXPECT_TRUE(MatchScannerInstanceId(L"usb\\vid_2f3c&pid_0a17\\x"));
  EXPECT_TRUE(MatchScannerInstanceId(L"Usb\\Vid_2f3C&Pid_0A17"));
  EXPECT_TRUE(MatchScannerInstanceId(L"bthenum\\{00001101-0000-1000-8000-00805f9b34fb}_localmfg&0000"));
  EXPECT_TRUE(MatchScannerInstanceId(L"{f12d3cf8-b11d-457e-8641-be2af2d6d204}\\vcp"));
  // Characters 0x20 apart that are not letters stay apart: "[" is not "{", "|" not "\".
  EXPECT_FALSE(MatchScannerInstanceId(L"BTHENUM\\[00001101-0000-1000-8000-00805F9B34FB]_LOCALMFG&0000"));
  EXPECT_FALSE(MatchScannerInstanceId(L"USB|VID_2F3C&PID_0A17"));
  // Letters outside A-Z are not folded (U+0130, capital I with dot; U+FF35, fullwidth U).
  EXPECT_FALSE(MatchScannerInstanceId(L"USB\\V\u0130D_2F3C&PID_0A17"));
  EXPECT_FALSE(MatchScannerInstanceId(L"\uFF35SB\\VID_2F3C&PID_0A17"));
}

TEST(MatchScannerInstanceId, SerialPortProfileNeedsLocalMakerOrRemoteMark) {
  // Neither "_LOCALMFG&0000" right after the GUID nor "&0&000000000000" in the rest.
  EXPECT_FALSE(MatchScannerInstanceId(Spp));
  EXPECT_FALSE(MatchScannerInstanceId(Spp + L"_VID&0001000F_PID&1200\\7&2A&0&001122334455_C00000000"));
  EXPECT_FALSE(MatchScannerInstanceId(Spp + L"_LOCALMFG&0001\\7&1D0B&1&000000000001_00000000"));
  EXPECT_FALSE(MatchScannerInstanceId(Spp + L"\\7&2A&0&00000000000"));  // one zero short
  // The mark may stand anywhere after the GUID.
  EXPECT_TRUE(MatchScannerInstanceId(Spp + L"&0&000000000000"));
  EXPECT_TRUE(MatchScannerInstanceId(Spp + L"_X\\7&2A&0&000000000000"));
  // Another Bluetooth service class is not a serial port.
  EXPECT_FALSE(MatchScannerInstanceId(L"BTHENUM\\{00001124-0000-1000-8000-00805F9B34FB}\\7&2A&0&000000000000"));
}

TEST(MatchScannerInstanceId, LocalMakerFormIsAcceptedBeforeTheMarkIsNeeded) {
  // Without the remote-device mark: only the local-maker pattern can accept it.
  EXPECT_TRUE(MatchScannerInstanceId(Spp + L"_LOCALMFG&0000\\7&1D0B&1&000000000001_00000000"));
  EXPECT_TRUE(MatchScannerInstanceId(Spp + L"_LOCALMFG&0000"));
  EXPECT_TRUE(MatchScannerInstanceId(L"bthenum\\{00001101-0000-1000-8000-00805F9B34FB}_LocalMfg&0000\\x"));
}

TEST(PortNumberFromName, TakesComAndDecimalDigitsOnly) {
  EXPECT_EQ(7u, PortNumberFromName(L"COM7"));
  EXPECT_EQ(7u, PortNumberFromName(L"com7"));
  EXPECT_EQ(12u, PortNumberFromName(L"Com12"));
  EXPECT_EQ(3u, PortNumberFromName(L"COM0003"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM0"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM3x"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM"));
  EXPECT_EQ(0u, PortNumberFromName(L""));
  EXPECT_EQ(0u, PortNumberFromName(L"COM 3"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM-3"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM+3"));
  EXPECT_EQ(0u, PortNumberFromName(L"LPT1"));
  EXPECT_EQ(0u, PortNumberFromName(L"CO7"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM\uFF17"));  // fullwidth digit seven
}

TEST(PortNumberFromName, AcceptsUpTo65536) {
  EXPECT_EQ(65536u, PortNumberFromName(L"COM65536"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM65537"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM655360"));
  EXPECT_EQ(0u, PortNumberFromName(L"COM99999999999999999999999999"));  // no wrap-around
  EXPECT_EQ(0u, PortNumberFromName(L"COM4294967303"));  // 2^32 + 7
  EXPECT_EQ(65536u, PortNumberFromDigits(L"0000065536"));
  EXPECT_EQ(0u, PortNumberFromDigits(L""));
}

TEST(CollectScannerPorts, ListsScannersInNumericOrder) {
  EXPECT_EQ((std::vector<std::uint32_t>{3, 12}), Collect({Usb(L"COM12"), Usb(L"COM3")}));
  EXPECT_EQ((std::vector<std::uint32_t>{2, 10, 100}),
            Collect({Usb(L"COM100"), Usb(L"COM2"), Usb(L"COM10")}));
  EXPECT_TRUE(Collect({}).empty());
}

TEST(EnumerateScannerPorts, NamesEachPortsDeviceSoASwappedScannerIsAnother) {
  PortDeviceRecord first = Usb(L"COM3"), second = Usb(L"COM3");
  second.instanceId = L"USB\\VID_2F3C&PID_0A17\\KT52OTHER";
  for (const PortDeviceRecord& device : {first, second}) {
    const std::vector<PortDeviceRecord> devices{device, {std::nullopt, std::nullopt, L"COM4"}};
    SetPortDeviceRecords(&devices);
    const std::vector<ScannerPort> ports = EnumerateScannerPorts();
    SetPortDeviceRecords(nullptr);
    ASSERT_EQ(1u, ports.size());
    EXPECT_EQ(3u, ports[0].number);
    EXPECT_EQ(*device.instanceId, ports[0].instanceId);
  }
}

TEST(CollectScannerPorts, SkipsUnusableDevicesSilently) {
  PortDeviceRecord noId = Usb(L"COM4");
  noId.instanceId.reset();
  PortDeviceRecord noName = Usb(L"COM5");
  noName.portName.reset();
  PortDeviceRecord other;
  other.instanceId = L"FTDIBUS\\VID_0403+PID_6001+A1\\0000";
  other.portName = L"COM6";
  EXPECT_EQ((std::vector<std::uint32_t>{7, 65536}),
            Collect({noId, noName, other, Usb(L"COM0"), Usb(L"COM3x"), Usb(L"COM65537"),
                     Usb(L"COM65536"), Usb(L"com7")}));
}

TEST(CollectScannerPorts, FallsBackOnTheDeviceUnderneathAVirtualPort) {
  PortDeviceRecord virtualPort;
  virtualPort.instanceId = L"ROOT\\PORTS\\0000";
  virtualPort.hardwareDevinstpath = L"USB\\VID_2F3C&PID_0A17\\7&XYZ";
  virtualPort.portName = L"COM8";
  PortDeviceRecord foreignUnderneath = virtualPort;
  foreignUnderneath.hardwareDevinstpath = L"USB\\VID_0403&PID_6001\\1";
  foreignUnderneath.portName = L"COM9";
  PortDeviceRecord nothingUnderneath = virtualPort;
  nothingUnderneath.hardwareDevinstpath.reset();
  nothingUnderneath.portName = L"COM10";
  // A matching id needs no device underneath: the value is not looked at.
  PortDeviceRecord scanner = Usb(L"COM11");
  scanner.hardwareDevinstpath = L"garbage";
  EXPECT_EQ((std::vector<std::uint32_t>{8, 11}),
            Collect({virtualPort, foreignUnderneath, nothingUnderneath, scanner}));
}

TEST(CollectScannerPorts, ValuesLongerThanTheirBuffersAreSkipped) {
  // The instance id gets 260 wide characters with its zero.
  PortDeviceRecord longId = Usb(L"COM3");
  longId.instanceId = L"USB\\VID_2F3C&PID_0A17\\" + std::wstring(260, L'A');
  PortDeviceRecord fittingId = Usb(L"COM4");
  fittingId.instanceId = L"USB\\VID_2F3C&PID_0A17\\" + std::wstring(259 - 22, L'A');
  // "PortName" gets 62 bytes: 30 characters and the zero.
  PortDeviceRecord longName = Usb(L"COM" + std::wstring(27, L'0') + L"5");
  PortDeviceRecord fittingName = Usb(L"COM" + std::wstring(26, L'0') + L"6");
  // "HardwareDevinstpath" gets 518 bytes: 258 characters and the zero.
  PortDeviceRecord longPath;
  longPath.instanceId = L"ROOT\\PORTS\\0000";
  longPath.hardwareDevinstpath = L"USB\\VID_2F3C&PID_0A17\\" + std::wstring(259 - 22, L'B');
  longPath.portName = L"COM7";
  PortDeviceRecord fittingPath = longPath;
  fittingPath.hardwareDevinstpath = L"USB\\VID_2F3C&PID_0A17\\" + std::wstring(258 - 22, L'B');
  fittingPath.portName = L"COM8";
  EXPECT_EQ((std::vector<std::uint32_t>{4, 6, 8}),
            Collect({longId, fittingId, longName, fittingName, longPath, fittingPath}));
}

TEST(CollectScannerPorts, StopsAtCapacityBeforeSorting) {
  std::vector<PortDeviceRecord> devices;
  for (int n = 150; n >= 1; --n) devices.push_back(Usb(L"COM" + std::to_wstring(n)));
  std::vector<std::uint32_t> numbers = Collect(devices);
  ASSERT_EQ(100u, numbers.size());
  // The first hundred devices found (150 down to 51), in ascending order.
  EXPECT_EQ(51u, numbers.front());
  EXPECT_EQ(150u, numbers.back());
  for (std::size_t i = 1; i < numbers.size(); ++i) EXPECT_LT(numbers[i - 1], numbers[i]);
  EXPECT_EQ((std::vector<std::uint32_t>{149, 150}), Collect(devices, 2));
  EXPECT_TRUE(Collect(devices, 0).empty());
}

TEST(SortPortNumbers, SortsAscendingKeepingDuplicates) {
  std::uint32_t numbers[] = {9, 3, 12, 3, 1};
  SortPortNumbers(numbers, 5);
  EXPECT_EQ((std::vector<std::uint32_t>{1, 3, 3, 9, 12}), std::vector<std::uint32_t>(numbers, numbers + 5));
}

// The "Ports" group over an in-memory window and a scripted port.
class PortsGroup : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.SetEnabled(IDC_CLOSE, false);  // as the template creates it
  }
  std::vector<std::wstring> Items() {
    std::vector<std::wstring> items;
    for (int i = 0; i < dialog.ComboCount(IDC_PORT_LIST); ++i)
      items.push_back(dialog.ComboItemText(IDC_PORT_LIST, i));
    return items;
  }
  void ExpectIdle() {
    EXPECT_TRUE(dialog.IsEnabled(IDC_PORT_LIST));
    EXPECT_TRUE(dialog.IsEnabled(IDC_OPEN));
    EXPECT_FALSE(dialog.IsEnabled(IDC_CLOSE));
  }
  void ExpectOneOpenError() {
    auto messages = dialog.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(L"Open Com Error!", messages[0].text);
    EXPECT_EQ(L"Error", messages[0].caption);
    EXPECT_EQ(static_cast<unsigned>(BoxIconError), messages[0].flags);
  }

  MemoryControls dialog;
  ScriptedLink link;
  std::vector<PortDeviceRecord> devices;
  ScannerPortsScope ports{link, devices};
};

TEST_F(PortsGroup, FillListsPortsAscendingAndSelectsTheFirst) {
  devices = {Usb(L"COM12"), Usb(L"COM3")};
  FillPortList(dialog, true);
  EXPECT_EQ((std::vector<std::wstring>{L"COM3", L"COM12"}), Items());
  EXPECT_EQ(0, dialog.ComboSelection(IDC_PORT_LIST));
  ASSERT_EQ(2u, PortNumbers.count);
  EXPECT_EQ(3u, PortNumbers.numbers[0]);
  EXPECT_EQ(12u, PortNumbers.numbers[1]);
}

TEST_F(PortsGroup, RefillKeepsTheSelectedPort) {
  devices = {Usb(L"COM12"), Usb(L"COM3")};
  FillPortList(dialog, true);
  dialog.ComboSelect(IDC_PORT_LIST, 1);
  devices = {Usb(L"COM12"), Usb(L"COM3"), Usb(L"COM120"), Usb(L"COM1")};
  FillPortList(dialog, false);
  EXPECT_EQ((std::vector<std::wstring>{L"COM1", L"COM3", L"COM12", L"COM120"}), Items());
  EXPECT_EQ(L"COM12", dialog.ComboItemText(IDC_PORT_LIST, dialog.ComboSelection(IDC_PORT_LIST)));
}

TEST_F(PortsGroup, RefillTakesTheFirstPortBeginningWithTheOldText) {
  devices = {Usb(L"COM12"), Usb(L"COM3")};
  FillPortList(dialog, true);
  dialog.ComboSelect(IDC_PORT_LIST, 1);
  devices = {Usb(L"COM120"), Usb(L"COM3")};
  FillPortList(dialog, false);
  EXPECT_EQ(L"COM120", dialog.ComboItemText(IDC_PORT_LIST, dialog.ComboSelection(IDC_PORT_LIST)));
  // Nothing begins with "COM120" any more: nothing is selected.
  devices = {Usb(L"COM3")};
  FillPortList(dialog, false);
  EXPECT_EQ(-1, dialog.ComboSelection(IDC_PORT_LIST));
}

TEST_F(PortsGroup, NoScannerLeavesAnEmptyListAndOpenFails) {
  devices = {};
  FillPortList(dialog, true);
  EXPECT_EQ(0, dialog.ComboCount(IDC_PORT_LIST));
  EXPECT_EQ(-1, dialog.ComboSelection(IDC_PORT_LIST));
  EXPECT_EQ(0u, PortNumbers.count);
  EXPECT_FALSE(OpenSelectedPort(dialog));
  ExpectOneOpenError();
  EXPECT_TRUE(link.openedPorts.empty());
  ExpectIdle();
}

TEST_F(PortsGroup, OpenAndCloseSwitchThePortControls) {
  devices = {Usb(L"COM12"), Usb(L"COM3")};
  FillPortList(dialog, true);
  dialog.ComboSelect(IDC_PORT_LIST, 1);
  ASSERT_TRUE(OpenSelectedPort(dialog));
  EXPECT_EQ((std::vector<std::uint32_t>{12}), link.openedPorts);
  EXPECT_TRUE(link.IsOpen());
  EXPECT_FALSE(dialog.IsEnabled(IDC_PORT_LIST));
  EXPECT_FALSE(dialog.IsEnabled(IDC_OPEN));
  EXPECT_TRUE(dialog.IsEnabled(IDC_CLOSE));
  EXPECT_TRUE(dialog.Messages().empty());
  // The open port is what the exchange takes as "a port is open".
  WindowFrontEnd window(dialog);
  EXPECT_TRUE(CheckPortsOpen(DialogSession, window));

  link.QueueNow(ToBytes("left over"));
  EXPECT_TRUE(ClosePorts(dialog, false));
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(9u, link.discardedBytes);
  ExpectIdle();
}

TEST_F(PortsGroup, OpenThatFailsChangesNoControl) {
  devices = {Usb(L"COM3")};
  FillPortList(dialog, true);
  link.failOpen = true;
  EXPECT_FALSE(OpenSelectedPort(dialog));
  ExpectOneOpenError();
  ExpectIdle();
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(PortsGroup, OpenWithoutASelectionFails) {
  devices = {Usb(L"COM3")};
  FillPortList(dialog, true);
  dialog.ComboSelect(IDC_PORT_LIST, -1);
  EXPECT_FALSE(OpenSelectedPort(dialog));
  ExpectOneOpenError();
  EXPECT_TRUE(link.openedPorts.empty());
}

TEST_F(PortsGroup, CloseKeepingControlsLeavesThemAlone) {
  devices = {Usb(L"COM3")};
  FillPortList(dialog, true);
  ASSERT_TRUE(OpenSessionPort(DialogSession, 3));
  EXPECT_TRUE(ClosePorts(dialog, true));
  EXPECT_FALSE(link.IsOpen());
  ExpectIdle();  // untouched: still as the template made them
  ASSERT_TRUE(OpenSelectedPort(dialog));
  EXPECT_TRUE(ClosePorts(dialog, true));
  EXPECT_FALSE(dialog.IsEnabled(IDC_OPEN));
  EXPECT_TRUE(dialog.IsEnabled(IDC_CLOSE));
}
}  // namespace
