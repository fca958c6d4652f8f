#pragma once
// Scripts a scanner's answers on a ScriptedLink, in framed or plain mode, for
// the exchanges of one operation: the wake-up and the queries after it.
#include <gtest/gtest.h>

#include <string>

#include "ui/dialog_session.h"
#include "support/scripted_link.h"
#include "support/virtual_time.h"
#include "support/memory_controls.h"

ScriptedLink::Bytes DataFrame(const std::string& payload);

// The answer to the next "*": ACK in framed mode, silence in plain mode.
void ScriptWakeUp(ScriptedLink& link, bool framed);
// The answer to the next query command: framed, a data frame and the device's
// confirmation of the host acknowledgement; plain, the text and the OK marker.
void ScriptQueryReply(ScriptedLink& link, bool framed, const std::string& payload);

// A scanner on an open port (the "Open" button disabled), on virtual time; the
// exchange uses this link and this window until the test ends.
class ScriptedScannerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  VirtualTimeScope time;
  ScriptedLink link;
  ScannerSession& session = DialogSession;  // the dialog's, on link
  MemoryControls dialog;
};
