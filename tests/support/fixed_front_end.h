#pragma once
// A front end whose choices are fixed and which shows nothing: what a program
// without a window gives a download. Safe to use from one thread each.
#include <string>

#include "common/front_end.h"

class FixedFrontEnd final : public FrontEnd {
 public:
  int ShowBox(const std::wstring& text, const std::wstring&, unsigned) override {
    lastBox = text;
    return AnswerYes;
  }
  bool ChooseSaveFile(const SaveFileRequest&, std::wstring&) override { return false; }
  void ShowPortStatus(std::uint32_t, const std::wstring&) override {}
  void ClearReceived() override {}
  void ShowReceived(const std::string&) override {}
  void ShowFileName(const std::wstring&) override {}
  void ShowDateFormat(DateFormat) override {}
  void ShowTime(const std::wstring&) override {}
  // Files saved as TXT with Windows line ends, named automatically (unless
  // customName is set), both fields shown.
  bool IsChosen(Choice choice) override {
    if (choice == Choice::AutoNaming) return customName.empty();
    return choice != Choice::UnixLineFeeds;
  }
  std::string SeparatorText(std::size_t) override { return ","; }
  std::wstring TypedFileName(std::size_t) override { return customName; }
  std::string TypedTime(std::size_t) override { return {}; }
  DateFormat CheckedDateFormat() override { return DateFormat::CN; }
  std::vector<std::wstring> TickedColumns() override { return {}; }
  std::uint8_t ResponseMode() override { return 0; }
  bool IsClosing() override { return false; }

  std::wstring lastBox;
  std::wstring customName;
};
