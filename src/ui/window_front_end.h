#pragma once
// The core's front end over the main dialog's controls: each call one of the
// control calls the operations made themselves before, so the window looks and
// behaves as it always did.
#include <string>

#include "clock/scanner_clock.h"
#include "collect/download_choices.h"
#include "common/front_end.h"

class Controls;

class WindowFrontEnd final : public FrontEnd {
 public:
  WindowFrontEnd() = default;
  explicit WindowFrontEnd(Controls& dialog) : dialog_(&dialog) {}
  void Attach(Controls& dialog) { dialog_ = &dialog; }

  int ShowBox(const std::wstring& text, const std::wstring& caption, unsigned flags) override;
  bool ChooseSaveFile(const SaveFileRequest& request, std::wstring& chosen) override;
  void ShowPortStatus(std::uint32_t i, const std::wstring& text) override;
  void ClearReceived() override;
  void ShowReceived(const std::string& text) override;
  void ShowFileName(const std::wstring& name) override;
  void ShowDateFormat(DateFormat format) override;
  void ShowTime(const std::wstring& text) override;
  bool IsClosing() override;

  // What the window shows chosen now, for the operations to take as values.
  DownloadChoices ChosenForDownload();
  ClockChoices ChosenForClock();
  std::vector<std::wstring> TickedColumns();
  std::uint8_t ResponseMode();

 private:
  Controls* dialog_ = nullptr;
};

// Remembers the time box's text as one Lumet put there itself ("Get Time", a
// time restored from Config.ini): it is no time the user typed, so "Set Time"
// sends the PC's time instead. A time typed later is sent as typed.
void NoteShownTime(Controls& dialog);
// That text, as the box gives it back (8-bit); empty at start.
extern std::string ShownTimeText;
