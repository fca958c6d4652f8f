#include "cli/console_front_end.h"

#include <algorithm>
#include <cstdio>

std::atomic<bool> StopRequested{false};

int ConsoleFrontEnd::ShowBox(const std::wstring& text, const std::wstring& caption,
                             unsigned flags) {
  EndProgressLine();
  boxes_.push_back({text, caption, flags});
  const unsigned buttons = flags & 0x0F;
  if (buttons == BoxYesNo || buttons == BoxYesNoCancel) return answerYes_ ? AnswerYes : AnswerNo;
  if (buttons == BoxOkCancel) return answerYes_ ? AnswerOk : AnswerCancel;
  return AnswerOk;
}

void ConsoleFrontEnd::ShowProgress(const std::string& label, bool shown) {
  progressLabel_ = label;
  progress_ = shown;
}

void ConsoleFrontEnd::ClearReceived() {
  EndProgressLine();
  receivedBytes_ = 0;
  receivedRecords_ = 0;
}

void ConsoleFrontEnd::ShowReceived(const std::string& text) {
  receivedBytes_ += text.size();
  receivedRecords_ += static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\r'));
  if (board_) board_->Update(progressLabel_, receivedRecords_, receivedBytes_);
  if (!progress_) return;
  std::fprintf(stderr, "\r%s: %llu records, %llu bytes", progressLabel_.c_str(),
               static_cast<unsigned long long>(receivedRecords_),
               static_cast<unsigned long long>(receivedBytes_));
  std::fflush(stderr);
  progressShown_ = true;
}

void ConsoleFrontEnd::EndProgressLine() {
  if (!progressShown_) return;
  std::fputc('\n', stderr);
  progressShown_ = false;
}

DownloadChoices ConsoleFrontEnd::ChosenForDownload() const {
  DownloadChoices c;
  c.saveToFile = true;  // the command line always writes its files
  c.textFile = !choices_.csv;
  c.unixLineFeeds = choices_.unixEnds;
  c.autoNaming = choices_.autoName;
  c.showSerialNumber = choices_.showSerial;
  c.showTimeStamp = choices_.showTime;
  c.wholeRecords = choices_.wholeRecords;
  c.separatorText = choices_.separator;
  c.typedFileName = choices_.name;
  return c;
}

bool ConsoleFrontEnd::IsClosing() { return StopRequested.load(); }
