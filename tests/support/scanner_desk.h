#pragma once
// The program's window and simulated scanners, as one desk for flow tests:
// the exchange talks to a SimulatedScannerLink, the window is MemoryControls
// prepared as at start, output files go to a private folder, and today is
// 2 January 2019. Everything is on virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kt52sim/device_options.h"
#include "support/program_folder.h"
#include "support/simulated_scanner_link.h"
#include "support/temp_folder.h"
#include "support/virtual_time.h"
#include "support/port_records.h"
#include "support/memory_controls.h"
#include "ui/main_dialog.h"

// The desk without the fixture: the program state as at start, then the
// exchange on link, these port records, today 2 January 2019, the window
// prepared and output files into folder.
void PrepareDesk(SerialLink& link, const std::vector<PortDeviceRecord>* devices,
                 Controls& dialog, const TempFolder& folder);

class ScannerDesk : public ::testing::Test {
 protected:
  // Setting an edit box's text raises its change notifications, as in the window.
  ScannerDesk() { dialog.RouteTextChanges(&DispatchCommand); }
  void SetUp() override;
  void TearDown() override;

  // A scanner on COM<port>, listed as an attached USB scanner.
  kt52::Kt52Device& Attach(std::uint32_t port, const kt52::DeviceOptions& options);
  // A listed scanner port with nothing answering Open.
  void AttachDeadPort(std::uint32_t port);
  // The port list as the dialog would fill it now.
  void ListPorts();
  // The "Open" button on the given entry of the port list.
  void OpenPortAt(int entry);
  // "Auto>>": the device list of the attached scanners; no boxes so far.
  void StartAutoMode();
  // The device list's "Status" cells, row by row.
  std::vector<std::wstring> Statuses();

  std::string ReadOutput(const std::wstring& name) const;
  bool OutputExists(const std::wstring& name) const;
  std::vector<std::wstring> MessageTexts();
  // "<serial>_20190102_<nnn>.txt"
  static std::wstring AutoName(const std::string& serial, int number, bool text = true);
  // What a download of the device gives in a file with "," and CR LF.
  static std::string WindowsLines(const std::string& downloadText);

  VirtualTimeScope time;
  SimulatedScannerLink link;
  MemoryControls dialog;
  TempFolder folder;  // the output folder
  TempFolder programFolder;  // where Lumet.exe and its Config.ini lie
  ProgramFolderScope program{programFolder};
  std::vector<PortDeviceRecord> devices;
};
