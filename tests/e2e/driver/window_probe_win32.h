#pragma once
// Reading and working the windows of another process (the program under test).
// Texts travel as messages Windows marshals across processes; list-view
// messages are not marshalled, so they go through memory inside the target.
#include <windows.h>

#include <string>
#include <vector>

// WM_GETTEXT through SendMessageTimeout: false when the window did not answer
// within timeout_ms (its thread is busy) or is gone.
bool ReadWindowText(HWND window, DWORD timeout_ms, std::wstring& text);
std::wstring WindowClassName(HWND window);

// Visible top-level dialogs ("#32770") of that process, in z-order.
std::vector<HWND> ProcessDialogs(DWORD process_id);
std::vector<HWND> ChildWindows(HWND parent);

// Items of a combo box (CB_GETLBTEXT, marshalled) and its selected index (-1: none).
bool ReadComboItems(HWND combo, DWORD timeout_ms, std::vector<std::wstring>& items);
int ComboSelection(HWND combo);

// A page of memory inside the target process for the list-view messages.
class RemotePage {
 public:
  RemotePage() = default;
  RemotePage(const RemotePage&) = delete;
  RemotePage& operator=(const RemotePage&) = delete;
  ~RemotePage();
  bool Open(DWORD process_id, std::string& error);
  bool ListViewCell(HWND list, int row, int column, DWORD timeout_ms, std::wstring& text, std::string& error);
  bool ListViewColumn(HWND list, int column, DWORD timeout_ms, std::wstring& text, std::string& error);

 private:
  bool ReadText(std::wstring& text, std::string& error);
  HANDLE process_ = nullptr;
  BYTE* page_ = nullptr;
};

// Size in pixels of width x height dialog units of a dialog with the shell
// font "MS Shell Dlg" 8 pt (DS_SETFONT | DS_FIXEDSYS), measured on a hidden
// dialog of our own: MapDialogRect does not reach into another process.
bool ShellDialogUnitsToPixels(int width, int height, SIZE& pixels);

// The control's rectangle in the client coordinates of the dialog.
RECT RectInClient(HWND dialog, HWND control);
