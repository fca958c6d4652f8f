#pragma once
// Controls over a live dialog. Every call is a window message to a control of
// the dialog (SendDlgItemMessageW and friends); from a worker thread Windows
// hands each message to the dialog's thread, which processes it while it
// pumps its messages, so the calls are safe from any thread.
#include <windows.h>

#include "ui/controls.h"

class WindowControls final : public Controls {
 public:
  explicit WindowControls(HWND dialog = nullptr) : dialog_(dialog) {}
  void Attach(HWND dialog) { dialog_ = dialog; }
  HWND Window() const { return dialog_; }

  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  std::wstring GetText(int id, std::size_t capacity) override;
  std::string GetTextAnsi(int id, std::size_t capacity) override;
  void SetText(int id, const std::wstring& text) override;
  std::size_t TextLength(int id) override;
  void SetTextLimit(int id, std::size_t characters) override;
  void SetReadOnly(int id, bool readOnly) override;
  bool IsReadOnly(int id) override;
  void ClearEdit(int id) override;
  void AppendAnsi(int id, const std::string& text) override;
  bool IsEnabled(int id) override;
  void SetEnabled(int id, bool enabled) override;
  void SetVisible(int id, bool visible) override;
  bool IsVisible(int id) override;
  void ComboReset(int id) override;
  void ComboAppend(int id, const std::wstring& text) override;
  int ComboCount(int id) override;
  int ComboSelection(int id) override;
  void ComboSelect(int id, int index) override;
  std::wstring ComboItemText(int id, int index) override;
  int ComboSelectPrefix(int id, const std::wstring& text) override;
  void ListSetFullRowSelect(int id) override;
  void ListDeleteColumn(int id, int column) override;
  void ListInsertColumn(int id, int index, const std::wstring& header, int width) override;
  int ListColumnCount(int id) override;
  void ListDeleteAllRows(int id) override;
  void ListInsertRow(int id, int row, const std::wstring& text) override;
  void ListSetCell(int id, int row, int column, const std::wstring& text) override;
  std::wstring ListCell(int id, int row, int column) override;
  int ListRowCount(int id) override;
  void ResizeClient(int widthDialogUnits, int heightDialogUnits) override;
  bool BrowseForFolder(const std::wstring& title, const std::wstring& startFolder,
                       std::wstring& chosen) override;
  bool ChooseSaveFile(const SaveFileRequest& request, std::wstring& chosen) override;
  int ShowMessage(const std::wstring& text, const std::wstring& caption, unsigned flags) override;
  void EndDialog(int result) override;
  void PostCommand(int id) override;

 private:
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendDlgItemMessageW(dialog_, id, message, wParam, lParam);
  }

  HWND dialog_;
};
