#pragma once
// What an operation tells the user and asks of them, in its own words: the
// one way the core reaches whoever runs it. What the user chose comes in as
// values (DownloadChoices, ClockChoices, the export's columns), never as
// questions asked here. The dialog implements it over its
// window (ui/window_front_end.h); another program can print and answer from
// its options. The calls may come from a worker thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/date_format.h"

// Box flags and answers, with the values Windows gives them.
enum BoxFlags : unsigned {
  BoxOk = 0x00,
  BoxOkCancel = 0x01,
  BoxYesNoCancel = 0x03,
  BoxYesNo = 0x04,
  BoxIconError = 0x10,
  BoxIconQuestion = 0x20,
  BoxIconWarning = 0x30,
  BoxIconInformation = 0x40,
};
enum BoxAnswer : int { AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

// A save dialog: one filter pair, the title, the folder it starts in and the
// extension added to a name typed without one. The chosen path holds fewer
// than pathCapacity characters (the buffer counts the terminating zero).
struct SaveFileRequest {
  std::wstring filterName;
  std::wstring filterPattern;
  std::wstring title;
  std::wstring startFolder;
  std::wstring defaultExtension;
  std::size_t pathCapacity = 260;
};

// Caption of the program's own boxes (those with no title of their own).
inline constexpr wchar_t AppCaption[] = L"Lumet";

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // A box with its text, caption, buttons and icon (BoxFlags); the answer (BoxAnswer).
  virtual int ShowBox(const std::wstring& text, const std::wstring& caption, unsigned flags) = 0;
  // The save dialog; false when cancelled or when it fails.
  virtual bool ChooseSaveFile(const SaveFileRequest& request, std::wstring& chosen) = 0;
  // The outcome of the last operation on entry i of the listed scanner ports.
  virtual void ShowPortStatus(std::uint32_t i, const std::wstring& text) = 0;
  // The data a download receives: emptied when it starts, then each run (8-bit
  // text) as it came.
  virtual void ClearReceived() = 0;
  virtual void ShowReceived(const std::string& text) = 0;
  // The output file's name as it is used; empty when there is none.
  virtual void ShowFileName(const std::wstring& name) = 0;
  // The scanner's date format and clock text, as read from it.
  virtual void ShowDateFormat(DateFormat format) = 0;
  virtual void ShowTime(const std::wstring& text) = 0;

  // The window is closing: operations end at their next safe point and show no more boxes.
  virtual bool IsClosing() = 0;
};

// A box with no title of its own.
inline int ShowAppBox(FrontEnd& front, const std::wstring& text, unsigned flags) {
  return front.ShowBox(text, AppCaption, flags);
}
// The "Error" box.
inline void ShowErrorBox(FrontEnd& front, const std::wstring& text) {
  front.ShowBox(text, L"Error", BoxIconError);
}
