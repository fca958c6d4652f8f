// "Delete Barcodes" in manual and auto mode against simulated scanners.
#include "collect/delete_barcodes.h"

#include <gtest/gtest.h>

#include "collect/collection_job.h"
#include "support/scanner_desk.h"
#include "support/scanner_script.h"
#include "ui/control_ids.h"
#include "ui/device_list.h"
#include "ui/scanner_operations.h"

namespace {
constexpr unsigned QuestionFlags = BoxYesNoCancel | BoxIconWarning;

kt52::DeviceOptions Holding(std::size_t records, const char* refused = nullptr) {
  kt52::DeviceOptions o;
  o.generatedRecords = records;
  if (refused) o.refused = {refused};
  return o;
}

class DeleteBarcodesTest : public ScannerDesk {
 protected:
  // The question first, then the boxes after it.
  std::vector<std::wstring> BoxesAfterQuestion() {
    auto boxes = dialog.Messages();
    EXPECT_FALSE(boxes.empty());
    if (boxes.empty()) return {};
    EXPECT_EQ(DeleteQuestionText, boxes[0].text);
    EXPECT_EQ(L"Warning", boxes[0].caption);
    EXPECT_EQ(QuestionFlags, boxes[0].flags);
    std::vector<std::wstring> rest;
    for (std::size_t i = 1; i < boxes.size(); ++i)
      rest.push_back(boxes[i].caption + L": " + boxes[i].text);
    return rest;
  }
};

TEST_F(DeleteBarcodesTest, NoAndCancelEraseNothing) {
  kt52::Kt52Device& scanner = Attach(3, Holding(5));
  OpenPortAt(0);
  for (int answer : {AnswerNo, AnswerCancel}) {
    dialog.ClearMessages();
    dialog.QueueAnswers({answer});
    const std::size_t wakeUps = scanner.WakeUps();
    EXPECT_FALSE(DeleteBarcodes(dialog));
    EXPECT_EQ(wakeUps + 1, scanner.WakeUps());  // woken before the question
    EXPECT_TRUE(BoxesAfterQuestion().empty());
    EXPECT_TRUE(scanner.Commands().empty());
    EXPECT_EQ(5u, scanner.Records().size());
  }
}

TEST_F(DeleteBarcodesTest, YesErasesTheOpenScannerAndALaterDownloadFindsNothing) {
  kt52::Kt52Device& scanner = Attach(3, Holding(5));
  OpenPortAt(0);
  dialog.QueueAnswers({AnswerYes});
  EXPECT_TRUE(DeleteBarcodes(dialog));
  EXPECT_EQ(std::vector<std::wstring>{L"Infomation: Delete Barcodes Succeed!"},
            BoxesAfterQuestion());
  EXPECT_EQ(unsigned{BoxIconInformation}, dialog.Messages()[1].flags);
  EXPECT_EQ(std::vector<std::string>{"$$%^1200"}, scanner.Commands());
  EXPECT_TRUE(scanner.Records().empty());
  EXPECT_TRUE(link.IsOpen());

  dialog.ClearMessages();
  CollectionJob(dialog);
  EXPECT_EQ(std::vector<std::wstring>{L"No Data!"}, MessageTexts());
}

TEST_F(DeleteBarcodesTest, RefusedEraseIsAnError) {
  kt52::Kt52Device& scanner = Attach(3, Holding(5, "1200"));
  OpenPortAt(0);
  EXPECT_FALSE(DeleteBarcodes(dialog));
  EXPECT_EQ(std::vector<std::wstring>{L"Error: Delete Barcodes Failed!"}, BoxesAfterQuestion());
  EXPECT_EQ(unsigned{BoxIconError}, dialog.Messages()[1].flags);
  EXPECT_EQ(5u, scanner.Records().size());
}

TEST_F(DeleteBarcodesTest, NoOpenPortAsksNothing) {
  Attach(3, Holding(5));
  EXPECT_FALSE(DeleteBarcodes(dialog));
  EXPECT_EQ(std::vector<std::wstring>{L"Please Open Ports!"}, MessageTexts());
}

TEST_F(DeleteBarcodesTest, AutoModeErasesEveryReachableScanner) {
  kt52::Kt52Device& com3 = Attach(3, Holding(5, "1200"));
  AttachDeadPort(5);
  kt52::Kt52Device& com7 = Attach(7, Holding(4));
  StartAutoMode();
  EXPECT_FALSE(DeleteBarcodes(dialog));
  EXPECT_TRUE(BoxesAfterQuestion().empty());
  EXPECT_EQ((std::vector<std::wstring>{L"Delete Barcodes Failed!", L"Please Open Ports!",
                                       L"Delete Barcodes Succeed!"}),
            Statuses());
  EXPECT_EQ(5u, com3.Records().size());
  EXPECT_TRUE(com7.Records().empty());
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(DeleteBarcodesTest, AutoModeAsksEvenWithAnEmptyListAndNoSendsNothing) {
  StartAutoMode();
  EXPECT_TRUE(DeleteBarcodes(dialog));
  EXPECT_TRUE(BoxesAfterQuestion().empty());

  kt52::Kt52Device& com3 = Attach(3, Holding(2));
  ASSERT_EQ(1, ToggleAutoMode(dialog));
  StartAutoMode();
  const std::size_t opened = link.OpenCount();
  dialog.QueueAnswers({AnswerNo});
  EXPECT_FALSE(DeleteBarcodes(dialog));
  EXPECT_EQ(opened, link.OpenCount());
  EXPECT_EQ(2u, com3.Records().size());
  EXPECT_EQ(std::vector<std::wstring>{L""}, Statuses());
}

// A download that did not finish leaves the scanner's records where they are.
TEST_F(DeleteBarcodesTest, AutoModeLeavesAScannerWhoseLastDownloadFailed) {
  kt52::Kt52Device& com3 = Attach(3, Holding(5));
  kt52::DeviceOptions unplugged = Holding(400);
  unplugged.frameSize = 1000;
  unplugged.hangUpAfterBytes = 2500;
  kt52::Kt52Device& com5 = Attach(5, unplugged);
  kt52::Kt52Device& com7 = Attach(7, Holding(4));
  StartAutoMode();
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Save Data Succeed!", L"Get Data Failed!",
                                       L"Save Data Succeed!"}),
            Statuses());
  dialog.ClearMessages();
  EXPECT_FALSE(DeleteBarcodes(dialog));
  EXPECT_EQ((std::vector<std::wstring>{L"Delete Barcodes Succeed!", L"Not Deleted: Last Download Failed!",
                                       L"Delete Barcodes Succeed!"}),
            Statuses());
  EXPECT_TRUE(com3.Records().empty());
  EXPECT_EQ(400u, com5.Records().size());
  EXPECT_TRUE(com7.Records().empty());
}

TEST_F(DeleteBarcodesTest, ManualModeAsksFirstWhenTheLastDownloadFailed) {
  const struct {
    std::vector<int> answers;
    std::size_t boxes;  // questions asked
    bool erased;
  } cases[] = {
      {{AnswerNo}, 1, false},
      {{AnswerYes, AnswerNo}, 2, false},
      {{AnswerYes, AnswerYes}, 3, true},  // then "Delete Barcodes Succeed!"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers.size());
    kt52::DeviceOptions silent = Holding(300);
    silent.silentAfterBytes = 2000;
    Attach(3, silent);
    OpenPortAt(0);
    CollectionJob(dialog);
    ASSERT_EQ(std::vector<std::wstring>{L"Get Data Failed!"}, MessageTexts());
    dialog.ClearMessages();
    Attach(3, Holding(300));  // back in range, with its records
    OpenPortAt(0);
    dialog.QueueAnswers(c.answers);
    EXPECT_EQ(c.erased, DeleteBarcodes(dialog));
    const auto boxes = dialog.Messages();
    ASSERT_EQ(c.boxes, boxes.size());
    EXPECT_EQ(LastDownloadFailedQuestion, boxes[0].text);
    EXPECT_EQ(L"Warning", boxes[0].caption);
    EXPECT_EQ(unsigned{BoxYesNo | BoxIconWarning}, boxes[0].flags);
    if (c.boxes > 1) {
      EXPECT_EQ(DeleteQuestionText, boxes[1].text);
    }
    EXPECT_EQ(c.erased, link.Device(3).Records().empty());
    dialog.ClearMessages();
  }
}

class DeleteWithoutWakeUp : public ScriptedScannerTest {};

TEST_F(DeleteWithoutWakeUp, ShowsTheErrorBeforeAnyQuestion) {
  link.failWrites = true;
  EXPECT_FALSE(DeleteBarcodes(dialog));
  auto boxes = dialog.Messages();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Send '*' Failed!", boxes[0].text);
  EXPECT_EQ(AppCaption, boxes[0].caption);
  EXPECT_EQ(unsigned{BoxIconError}, boxes[0].flags);
  EXPECT_TRUE(dialog.IsEnabled(IDC_DELETE_BARCODES));
}
}  // namespace
