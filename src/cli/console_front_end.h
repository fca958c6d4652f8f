#pragma once
// lumet-cli's front end: the core's boxes are kept for the command to print
// as lines, questions are answered from the options (never Yes unless told),
// the choices come from the options or --config, and while a download runs
// its progress (records and bytes so far) goes to stderr when that is a
// terminal.
#include <atomic>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/progress_board.h"
#include "collect/download_choices.h"
#include "common/front_end.h"

struct ShownBox {
  std::wstring text;
  std::wstring caption;
  unsigned flags = 0;
};

class ConsoleFrontEnd final : public FrontEnd {
 public:
  explicit ConsoleFrontEnd(const CliChoices& choices) : choices_(choices) {}

  // Whether a question is answered Yes (the default: No, or Cancel).
  void AnswerQuestions(bool yes) { answerYes_ = yes; }
  // The label progress lines begin with (the port), and whether they are shown.
  void ShowProgress(const std::string& label, bool shown);
  // The download choices the options and --config make.
  DownloadChoices ChosenForDownload() const;
  // Progress goes to the board instead, as one of several scanners' lines.
  void ShowProgressOn(ProgressBoard* board) { board_ = board; }

  const std::vector<ShownBox>& Boxes() const { return boxes_; }
  const std::wstring& ShownTime() const { return shownTime_; }
  DateFormat ShownFormat() const { return shownFormat_; }
  void Forget() { boxes_.clear(); }

  int ShowBox(const std::wstring& text, const std::wstring& caption, unsigned flags) override;
  bool ChooseSaveFile(const SaveFileRequest&, std::wstring&) override { return false; }
  void ShowPortStatus(std::uint32_t, const std::wstring&) override {}
  void ClearReceived() override;
  void ShowReceived(const std::string& text) override;
  void ShowFileName(const std::wstring&) override {}
  void ShowDateFormat(DateFormat format) override { shownFormat_ = format; }
  void ShowTime(const std::wstring& text) override { shownTime_ = text; }
  bool IsClosing() override;

 private:
  void EndProgressLine();

  CliChoices choices_;
  bool answerYes_ = false;
  std::vector<ShownBox> boxes_;
  std::wstring shownTime_;
  DateFormat shownFormat_ = DateFormat::CN;
  std::string progressLabel_;
  bool progress_ = false;
  bool progressShown_ = false;
  ProgressBoard* board_ = nullptr;
  std::uint64_t receivedBytes_ = 0;
  std::uint64_t receivedRecords_ = 0;
};

// Set by SIGINT or SIGTERM: the download under way finishes, nothing more starts.
extern std::atomic<bool> StopRequested;
