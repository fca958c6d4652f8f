// Auto mode and the device list against simulated scanners.
#include "ui/device_list.h"

#include <gtest/gtest.h>

#include "ui/dialog_session.h"
#include "support/scanner_desk.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"

namespace {
kt52::DeviceOptions Scanner(const std::string& serial) {
  kt52::DeviceOptions o;
  o.serialNumber = serial;
  return o;
}

class DeviceListTest : public ScannerDesk {
 protected:
  std::vector<std::vector<std::wstring>> Rows() {
    std::vector<std::vector<std::wstring>> rows;
    for (int r = 0; r < dialog.ListRowCount(IDC_DEVICE_LIST); ++r)
      rows.push_back({dialog.ListCell(IDC_DEVICE_LIST, r, 0), dialog.ListCell(IDC_DEVICE_LIST, r, 1),
                      dialog.ListCell(IDC_DEVICE_LIST, r, 2)});
    return rows;
  }
  bool SinglePortControlsEnabled() {
    return dialog.IsEnabled(IDC_OPEN) && dialog.IsEnabled(IDC_PORT_LIST) &&
           dialog.IsEnabled(IDC_GET_TIME) && dialog.IsEnabled(IDC_GET_DEVICE_INFO);
  }
};

using Table = std::vector<std::vector<std::wstring>>;

TEST_F(DeviceListTest, AutoModeWidensTheWindowAndListsEveryScanner) {
  Attach(7, Scanner("SN-B"));
  Attach(3, Scanner("SN-A"));
  EXPECT_EQ(1, ToggleAutoMode(dialog));
  EXPECT_EQ(1, AutoMode);
  EXPECT_EQ(AutoWidth, dialog.ClientWidth());
  EXPECT_EQ(DialogHeight, dialog.ClientHeight());
  EXPECT_EQ(L"Auto<<", dialog.GetText(IDC_AUTO_MODE, 20));
  EXPECT_TRUE(dialog.IsVisible(IDC_DEVICE_LIST));
  EXPECT_TRUE(dialog.IsFullRowSelect(IDC_DEVICE_LIST));
  EXPECT_EQ((std::vector<std::wstring>{L"Port", L"SN", L"Status"}), dialog.ListColumns(IDC_DEVICE_LIST));
  EXPECT_EQ((Table{{L"COM3", L"SN-A", L""}, {L"COM7", L"SN-B", L""}}), Rows());
  EXPECT_FALSE(link.IsOpen());
  EXPECT_FALSE(dialog.IsEnabled(IDC_OPEN));
  EXPECT_FALSE(dialog.IsEnabled(IDC_CLOSE));
  EXPECT_FALSE(dialog.IsEnabled(IDC_PORT_LIST));
  EXPECT_FALSE(dialog.IsEnabled(IDC_GET_TIME));
  EXPECT_FALSE(dialog.IsEnabled(IDC_GET_DEVICE_INFO));
  EXPECT_TRUE(dialog.Messages().empty());
}

TEST_F(DeviceListTest, LeavingAutoModeNarrowsTheWindowAndFreesThePortControls) {
  Attach(3, Scanner("SN-A"));
  ToggleAutoMode(dialog);
  EXPECT_EQ(1, ToggleAutoMode(dialog));
  EXPECT_EQ(0, AutoMode);
  EXPECT_EQ(NormalWidth, dialog.ClientWidth());
  EXPECT_EQ(L"Auto>>", dialog.GetText(IDC_AUTO_MODE, 20));
  EXPECT_FALSE(dialog.IsVisible(IDC_DEVICE_LIST));
  EXPECT_TRUE(SinglePortControlsEnabled());
  EXPECT_FALSE(dialog.IsEnabled(IDC_CLOSE));
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(DeviceListTest, EnteringAutoModeClosesAPortTheUserOpened) {
  Attach(3, Scanner("SN-A"));
  OpenPortAt(0);
  ToggleAutoMode(dialog);
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(DeviceListTest, PortListAgreesWithTheScannersFoundInAutoMode) {
  Attach(3, Scanner("SN-A"));
  ListPorts();
  ToggleAutoMode(dialog);
  Attach(9, Scanner("SN-C"));
  RefreshDeviceList(dialog);
  ToggleAutoMode(dialog);
  ASSERT_EQ(2, dialog.ComboCount(IDC_PORT_LIST));
  EXPECT_EQ(L"COM9", dialog.ComboItemText(IDC_PORT_LIST, 1));
}

TEST_F(DeviceListTest, RefreshDropsUnpluggedScannersAndOldStatusTexts) {
  Attach(3, Scanner("SN-A"));
  Attach(4, Scanner("SN-B"));
  ToggleAutoMode(dialog);
  SetPortStatus(dialog, 0, L"No Data!");
  devices.pop_back();  // COM4 unplugged
  RefreshDeviceList(dialog);
  EXPECT_EQ((Table{{L"COM3", L"SN-A", L""}}), Rows());
  EXPECT_EQ(1u, PortNumbers.count);
}

TEST_F(DeviceListTest, SilentScannerAndDeadPortShowTheirFailures) {
  kt52::DeviceOptions silent = Scanner("SN-A");
  silent.silentAfter = 0;
  Attach(3, silent);
  AttachDeadPort(5);
  ToggleAutoMode(dialog);
  EXPECT_EQ((Table{{L"COM3", L"Get SN Failed!", L""}, {L"COM5", L"", L"Open Ports Failed!"}}), Rows());
}

TEST_F(DeviceListTest, RefreshOutsideAutoModeOnlyEmptiesTheList) {
  Attach(3, Scanner("SN-A"));
  dialog.ListInsertRow(IDC_DEVICE_LIST, 0, L"stale");
  RefreshDeviceList(dialog);
  EXPECT_EQ(0, dialog.ListRowCount(IDC_DEVICE_LIST));
  EXPECT_EQ(0u, link.OpenCount());
}

TEST_F(DeviceListTest, StatusOfARowBeyondTheListIsIgnored) {
  Attach(3, Scanner("SN-A"));
  ToggleAutoMode(dialog);
  SetPortStatus(dialog, 0, L"Getting Data...");
  SetPortStatus(dialog, MaxPorts + 5, L"nowhere");
  EXPECT_EQ(L"Getting Data...", dialog.ListCell(IDC_DEVICE_LIST, 0, ColumnStatus));
  EXPECT_EQ(L"Getting Data...", DeviceListRows[0].status);
}

TEST_F(DeviceListTest, DispatchTableSwitchesAndRefreshes) {
  Attach(3, Scanner("SN-A"));
  EXPECT_TRUE(DispatchCommand(dialog, IDC_AUTO_MODE, NotifyClicked));
  EXPECT_EQ(1, AutoMode);
  devices.clear();
  EXPECT_TRUE(DispatchCommand(dialog, IDC_REFRESH, NotifyClicked));
  EXPECT_EQ(0, dialog.ListRowCount(IDC_DEVICE_LIST));
}
}  // namespace
