#pragma once
// The main dialog's controls by id: what the dialog's own code (ui/) works
// with. The Win32 build implements it over the dialog's window handle (safe
// from a worker thread: the messages are handled by the dialog's thread);
// tests use MemoryControls (tests/support). The core reaches the window only
// through the FrontEnd made over it (ui/window_front_end.h).
#include <cstddef>
#include <string>

#include "common/front_end.h"

class Controls {
 public:
  virtual ~Controls() = default;

  // Buttons, check boxes and radio buttons.
  virtual bool IsChecked(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  // Window text. capacity counts the terminating zero, as GetWindowText does:
  // at most capacity - 1 characters (bytes for the 8-bit form) come back.
  virtual std::wstring GetText(int id, std::size_t capacity) = 0;
  virtual std::string GetTextAnsi(int id, std::size_t capacity) = 0;
  virtual void SetText(int id, const std::wstring& text) = 0;
  virtual std::size_t TextLength(int id) = 0;

  // Edit boxes.
  virtual void SetTextLimit(int id, std::size_t characters) = 0;
  virtual void SetReadOnly(int id, bool readOnly) = 0;
  virtual bool IsReadOnly(int id) = 0;
  // Select all and clear, then repaint.
  virtual void ClearEdit(int id) = 0;
  // Append 8-bit text at the end (selection to the end, replace it). The box
  // keeps only what fits its text limit.
  virtual void AppendAnsi(int id, const std::string& text) = 0;

  virtual bool IsEnabled(int id) = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;
  virtual void SetVisible(int id, bool visible) = 0;
  virtual bool IsVisible(int id) = 0;

  // Combo boxes. Items are appended at the end, whatever the sort style.
  virtual void ComboReset(int id) = 0;
  virtual void ComboAppend(int id, const std::wstring& text) = 0;
  virtual int ComboCount(int id) = 0;
  virtual int ComboSelection(int id) = 0;  // -1: nothing selected
  virtual void ComboSelect(int id, int index) = 0;
  virtual std::wstring ComboItemText(int id, int index) = 0;
  // Selects the first item that begins with text (ASCII case ignored); -1 and
  // no change when none does.
  virtual int ComboSelectPrefix(int id, const std::wstring& text) = 0;

  // List views (report view).
  virtual void ListSetFullRowSelect(int id) = 0;
  virtual void ListDeleteColumn(int id, int column) = 0;
  virtual void ListInsertColumn(int id, int index, const std::wstring& header, int width) = 0;
  virtual int ListColumnCount(int id) = 0;
  virtual void ListDeleteAllRows(int id) = 0;
  virtual void ListInsertRow(int id, int row, const std::wstring& text) = 0;
  virtual void ListSetCell(int id, int row, int column, const std::wstring& text) = 0;
  virtual std::wstring ListCell(int id, int row, int column) = 0;
  virtual int ListRowCount(int id) = 0;

  // The dialog itself: client area in dialog units.
  virtual void ResizeClient(int widthDialogUnits, int heightDialogUnits) = 0;

  // The folder browser owned by the dialog, starting at startFolder. False when
  // cancelled or the choice has no file-system path.
  virtual bool BrowseForFolder(const std::wstring& title, const std::wstring& startFolder,
                               std::wstring& chosen) = 0;

  // The save dialog (Explorer style) owned by the dialog. False when cancelled
  // or when it fails (for example a path too long for pathCapacity).
  virtual bool ChooseSaveFile(const SaveFileRequest& request, std::wstring& chosen) = 0;

  // A message box owned by the dialog; returns the answer.
  virtual int ShowMessage(const std::wstring& text, const std::wstring& caption,
                          unsigned flags) = 0;

  // Closes the dialog with result (from the dialog's own thread).
  virtual void EndDialog(int result) = 0;
  // Queues a command for the dialog's own thread, as if its control sent it;
  // returns at once (safe from a worker thread).
  virtual void PostCommand(int id) = 0;
};

// The program's own error box: no title of its own, so it carries AppCaption.
inline int ShowAppMessage(Controls& dialog, const std::wstring& text, unsigned flags) {
  return dialog.ShowMessage(text, AppCaption, flags);
}
