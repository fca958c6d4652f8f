// "Get Device Info" and the serial-number query over a real port against
// kt52sim. Plain mode costs two seconds a command: one test per transport.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kt52sim/kt52_device.h"
#include "protocol/catalogue.h"
#include "protocol/device_info.h"
#include "protocol/exchange.h"
#include "ui/dialog_session.h"
#include "support/sim_process.h"
#include "transport/serial_port.h"
#include "ui/control_ids.h"
#include "support/memory_controls.h"
#include "support/program_state.h"
#include "ui/scanner_operations.h"
#include "ui/data_controls.h"

namespace {
class DeviceInfoWire : public ::testing::TestWithParam<kt52::Transport> {
 protected:
  void SetUp() override {
    ResetProgramState();
    options.transport = GetParam();
    options.serialNumber = "KT52WIRE9";
    options.deviceInfo = "{Model:KT52};{SN:KT52WIRE9};{Firmware:3.1.7}";
    sim = std::make_unique<SimProcess>(options);
    ASSERT_TRUE(sim->Started());
    ASSERT_TRUE(sim->LinkAsCom(com.Path(), 3));
    ASSERT_TRUE(port.Open(3, 115200, 8, 0, 0, FlowNone));
    session.link = &port;
    FillResponseModeList(dialog);
    dialog.SetEnabled(IDC_OPEN, false);  // a port is open
  }
  void TearDown() override {
    ResetProgramState();
    port.Close();
  }

  kt52::DeviceOptions options;
  ComFolder com;
  std::unique_ptr<SimProcess> sim;
  SerialPort port;
  ScannerSession& session = DialogSession;  // the dialog's operations run on it
  MemoryControls dialog;
};

TEST_P(DeviceInfoWire, ShowsTheInformationAndReadsTheSerialNumber) {
  ASSERT_TRUE(ShowDeviceInfo(dialog));
  EXPECT_EQ(session.framed, GetParam() == kt52::Transport::Framed ? 1 : 0);
  auto messages = dialog.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, L"{Model:KT52};\r\n{SN:KT52WIRE9};\r\n{Firmware:3.1.7}\r\n");
  EXPECT_EQ(messages[0].caption, L"Device Infomation");
  EXPECT_EQ(messages[0].flags, unsigned{BoxIconInformation});

  std::wstring serial;
  ASSERT_TRUE(QuerySerialNumber(session, serial));
  EXPECT_EQ(serial, L"KT52WIRE9");
  EXPECT_TRUE(port.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(BothTransports, DeviceInfoWire,
                         ::testing::Values(kt52::Transport::Framed, kt52::Transport::Plain),
                         [](const auto& info) {
                           return info.param == kt52::Transport::Framed ? "Framed" : "Plain";
                         });
}  // namespace
