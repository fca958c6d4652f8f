#include "support/scanner_script.h"
#include "ui/dialog_session.h"

#include "protocol/exchange.h"
#include "support/program_state.h"
#include "ui/control_ids.h"
#include "ui/data_controls.h"

ScriptedLink::Bytes DataFrame(const std::string& payload) {
  ScriptedLink::Bytes frame(payload.size() + 11);
  std::size_t n = BuildCommandFrame(reinterpret_cast<const std::uint8_t*>(payload.data()),
                                    payload.size(), frame.data(), frame.size());
  frame.resize(n);
  return frame;
}

void ScriptWakeUp(ScriptedLink& link, bool framed) {
  if (framed)
    link.ReplyToNextWrite({{Ack}});
  else
    link.ReplyToNextWrite({});
}

void ScriptQueryReply(ScriptedLink& link, bool framed, const std::string& payload) {
  if (framed) {
    link.ReplyToNextWrite({DataFrame(payload)});
    link.ReplyToNextWrite({{0x02, 0x01, Ack, 0x00, 0x03}});
  } else {
    link.ReplyToNextWrite({ToBytes(payload + OkMarker)});
  }
}

void ScriptedScannerTest::SetUp() {
  ResetProgramState();
  DialogSession.link = &link;
  FillResponseModeList(dialog);
  link.Open(3, 115200, 8, 0, 0, 0);
  dialog.SetEnabled(IDC_OPEN, false);
}

void ScriptedScannerTest::TearDown() { ResetProgramState(); }
