#include "ui/window_controls_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <climits>
#include <vector>

#include "ui/main_dialog_win32.h"

namespace {
int ClampToInt(std::size_t value) {
  return value > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

// Selects the start folder once the browser is up.
int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM startFolder) {
  if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, startFolder);
  return 0;
}
}  // namespace

bool WindowControls::IsChecked(int id) { return Send(id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void WindowControls::SetChecked(int id, bool checked) {
  Send(id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::wstring WindowControls::GetText(int id, std::size_t capacity) {
  if (capacity == 0) return {};
  std::vector<wchar_t> buffer(capacity, L'\0');
  int length = GetWindowTextW(Item(id), buffer.data(), ClampToInt(capacity));
  return std::wstring(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string WindowControls::GetTextAnsi(int id, std::size_t capacity) {
  if (capacity == 0) return {};
  std::vector<char> buffer(capacity, '\0');
  int length = GetWindowTextA(Item(id), buffer.data(), ClampToInt(capacity));
  return std::string(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

void WindowControls::SetText(int id, const std::wstring& text) {
  SetDlgItemTextW(dialog_, id, text.c_str());
}

std::size_t WindowControls::TextLength(int id) {
  int length = GetWindowTextLengthW(Item(id));
  return length > 0 ? static_cast<std::size_t>(length) : 0;
}

void WindowControls::SetTextLimit(int id, std::size_t characters) {
  Send(id, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
}

void WindowControls::SetReadOnly(int id, bool readOnly) {
  Send(id, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

bool WindowControls::IsReadOnly(int id) {
  return (GetWindowLongW(Item(id), GWL_STYLE) & ES_READONLY) != 0;
}

void WindowControls::ClearEdit(int id) {
  HWND edit = Item(id);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
  InvalidateRect(edit, nullptr, TRUE);
  UpdateWindow(edit);
}

void WindowControls::AppendAnsi(int id, const std::string& text) {
  HWND edit = Item(id);
  int end = GetWindowTextLengthW(edit);
  SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  // The 8-bit form: Windows turns the text into the box's wide text by the ANSI code page.
  SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

bool WindowControls::IsEnabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }

void WindowControls::SetEnabled(int id, bool enabled) { EnableWindow(Item(id), enabled ? TRUE : FALSE); }

void WindowControls::SetVisible(int id, bool visible) { ShowWindow(Item(id), visible ? SW_SHOW : SW_HIDE); }

bool WindowControls::IsVisible(int id) {
  // The control's own style: a control of a hidden dialog still counts as shown.
  return (GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void WindowControls::ComboReset(int id) { Send(id, CB_RESETCONTENT, 0, 0); }

void WindowControls::ComboAppend(int id, const std::wstring& text) {
  Send(id, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
}

int WindowControls::ComboCount(int id) {
  LRESULT count = Send(id, CB_GETCOUNT, 0, 0);
  return count > 0 ? static_cast<int>(count) : 0;
}

int WindowControls::ComboSelection(int id) {
  LRESULT selected = Send(id, CB_GETCURSEL, 0, 0);
  return selected == CB_ERR ? -1 : static_cast<int>(selected);
}

void WindowControls::ComboSelect(int id, int index) {
  Send(id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::wstring WindowControls::ComboItemText(int id, int index) {
  LRESULT length = Send(id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length < 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  LRESULT copied = Send(id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  if (copied == CB_ERR || copied < 0) return {};
  return std::wstring(buffer.data(), static_cast<std::size_t>(copied));
}

int WindowControls::ComboSelectPrefix(int id, const std::wstring& text) {
  LRESULT selected = Send(id, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
  return selected == CB_ERR ? -1 : static_cast<int>(selected);
}

void WindowControls::ListSetFullRowSelect(int id) {
  Send(id, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void WindowControls::ListDeleteColumn(int id, int column) {
  Send(id, LVM_DELETECOLUMN, static_cast<WPARAM>(column), 0);
}

void WindowControls::ListInsertColumn(int id, int index, const std::wstring& header, int width) {
  LVCOLUMNW column = {};
  column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.cx = width;
  column.pszText = const_cast<wchar_t*>(header.c_str());
  column.iSubItem = 0;
  Send(id, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

int WindowControls::ListColumnCount(int id) {
  HWND header = reinterpret_cast<HWND>(Send(id, LVM_GETHEADER, 0, 0));
  if (!header) return 0;
  LRESULT count = SendMessageW(header, HDM_GETITEMCOUNT, 0, 0);
  return count > 0 ? static_cast<int>(count) : 0;
}

void WindowControls::ListDeleteAllRows(int id) { Send(id, LVM_DELETEALLITEMS, 0, 0); }

void WindowControls::ListInsertRow(int id, int row, const std::wstring& text) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = 0;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  Send(id, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void WindowControls::ListSetCell(int id, int row, int column, const std::wstring& text) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  Send(id, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

std::wstring WindowControls::ListCell(int id, int row, int column) {
  // The list view gives no length: read again into a larger buffer while the text fills it.
  constexpr std::size_t LargestCell = 65536;
  for (std::size_t size = 256;; size *= 2) {
    std::vector<wchar_t> buffer(size, L'\0');
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(size);
    LRESULT length = Send(id, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    std::size_t got = length > 0 ? static_cast<std::size_t>(length) : 0;
    if (got > size - 1) got = size - 1;
    if (got + 1 < size || size >= LargestCell) return std::wstring(buffer.data(), got);
  }
}

int WindowControls::ListRowCount(int id) {
  LRESULT count = Send(id, LVM_GETITEMCOUNT, 0, 0);
  return count > 0 ? static_cast<int>(count) : 0;
}

void WindowControls::ResizeClient(int widthDialogUnits, int heightDialogUnits) {
  ResizeClientArea(dialog_, widthDialogUnits, heightDialogUnits);
}

bool WindowControls::BrowseForFolder(const std::wstring& title, const std::wstring& startFolder,
                                     std::wstring& chosen) {
  // The browser's new style needs COM in single-threaded apartment mode on this thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.hwndOwner = dialog_;
  info.pidlRoot = nullptr;  // the desktop
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = SelectStartFolder;
  info.lParam = reinterpret_cast<LPARAM>(startFolder.c_str());
  bool found = false;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info)) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(item, path)) {
      chosen = path;
      found = true;
    }
    CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return found;
}

bool WindowControls::ChooseSaveFile(const SaveFileRequest& request, std::wstring& chosen) {
  // The filter: name, NUL, pattern, NUL, and the NUL that ends the list.
  std::wstring filter = request.filterName;
  filter += L'\0';
  filter += request.filterPattern;
  filter += L'\0';
  std::vector<wchar_t> path(request.pathCapacity > 0 ? request.pathCapacity : 1, L'\0');
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = dialog_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = request.title.c_str();
  dialog.lpstrInitialDir = request.startFolder.c_str();
  // Explorer style only: OFN_FILEMUSTEXIST would refuse a new workbook's name
  // and OFN_ALLOWMULTISELECT may return a folder and a list of names.
  dialog.Flags = OFN_EXPLORER;
  dialog.lpstrDefExt = request.defaultExtension.c_str();
  if (!GetSaveFileNameW(&dialog)) return false;
  path.back() = L'\0';
  chosen = path.data();
  return true;
}

int WindowControls::ShowMessage(const std::wstring& text, const std::wstring& caption,
                                unsigned flags) {
  return MessageBoxW(dialog_, text.c_str(), caption.c_str(), flags);
}

void WindowControls::EndDialog(int result) { ::EndDialog(dialog_, result); }

void WindowControls::PostCommand(int id) {
  PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}
