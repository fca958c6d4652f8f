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

void ConsoleFrontEnd::SetTypedTime(const std::string& time, DateFormat format) {
  typedTime_ = time;
  format_ = format;
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

bool ConsoleFrontEnd::IsChosen(Choice choice) {
  switch (choice) {
    case Choice::SaveToFile: return true;  // the command line always writes its files
    case Choice::TextFile: return !choices_.csv;
    case Choice::UnixLineFeeds: return choices_.unixEnds;
    case Choice::AutoNaming: return choices_.autoName;
    case Choice::ShowSerialNumber: return choices_.showSerial;
    case Choice::ShowTimeStamp: return choices_.showTime;
  }
  return false;
}

std::string ConsoleFrontEnd::SeparatorText(std::size_t capacity) {
  return choices_.separator.substr(0, capacity ? capacity - 1 : 0);
}

std::wstring ConsoleFrontEnd::TypedFileName(std::size_t capacity) {
  return choices_.name.substr(0, capacity ? capacity - 1 : 0);
}

std::string ConsoleFrontEnd::TypedTime(std::size_t capacity) {
  return typedTime_.substr(0, capacity ? capacity - 1 : 0);
}

bool ConsoleFrontEnd::IsClosing() { return StopRequested.load(); }
