#pragma once
// Auto mode: the wider dialog with the device list, one row per scanner port
// (port, serial number, outcome of the last operation), where "Get Barcodes",
// "Delete Barcodes" and "Set Time" serve every listed port in turn.
#include <cstdint>
#include <string>

#include "transport/port_discovery.h"

class Controls;

// 1 while the device list is shown.
extern std::int32_t AutoMode;

enum DeviceListColumn { ColumnPort = 0, ColumnSerialNumber = 1, ColumnStatus = 2 };

// What was last written into each row's cells; row i belongs to PortNumbers
// entry i.
struct DeviceListRow {
  std::wstring serialNumber;
  std::wstring status;
};
extern DeviceListRow DeviceListRows[MaxPorts];

// The "Auto>>" / "Auto<<" button. Returns 1.
int ToggleAutoMode(Controls& dialog);
// Closes the port and disables the single-port controls while on.
void ApplyAutoModeControls(Controls& dialog, bool on);
void SetupDeviceListColumns(Controls& dialog);
// The "Refresh" button: lists the scanners again with their serial numbers.
void RefreshDeviceList(Controls& dialog);
// The "Status" cell of row i.
void SetPortStatus(Controls& dialog, std::uint32_t i, const std::wstring& text);
