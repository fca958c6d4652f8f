#pragma once
// A front end that shows nothing and says Yes: what a program without a
// window gives an operation. Safe to use from one thread each.
#include <string>

#include "common/front_end.h"

class FixedFrontEnd : public FrontEnd {
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
  bool IsClosing() override { return false; }

  std::wstring lastBox;
};
