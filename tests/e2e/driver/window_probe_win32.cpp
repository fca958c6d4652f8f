#include "window_probe_win32.h"

#include <commctrl.h>

namespace {

constexpr SIZE_T kPageSize = 64 * 1024;
constexpr int kMaxCellChars = 4096;

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

INT_PTR CALLBACK SilentDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

void PushText(std::vector<WORD>& out, const wchar_t* text) {
  do out.push_back(static_cast<WORD>(*text)); while (*text++);
}

}  // namespace

bool ReadWindowText(HWND window, DWORD timeout_ms, std::wstring& text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, timeout_ms, &length)) return false;
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL,
                           timeout_ms, &copied))
    return false;
  buffer.back() = L'\0';
  text.assign(buffer.data());
  return true;
}

std::wstring WindowClassName(HWND window) {
  wchar_t name[128] = L"";
  GetClassNameW(window, name, 128);
  return name;
}

std::vector<HWND> ProcessDialogs(DWORD process_id) {
  std::vector<HWND> all, dialogs;
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&all));
  for (HWND window : all) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process_id && IsWindowVisible(window) && WindowClassName(window) == L"#32770") dialogs.push_back(window);
  }
  return dialogs;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool ReadComboItems(HWND combo, DWORD timeout_ms, std::vector<std::wstring>& items) {
  items.clear();
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_NORMAL, timeout_ms, &count)) return false;
  if (static_cast<LRESULT>(count) == CB_ERR) return false;
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_NORMAL, timeout_ms, &length)) return false;
    if (static_cast<LRESULT>(length) == CB_ERR) return false;
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL, timeout_ms,
                             &copied))
      return false;
    buffer.back() = L'\0';
    items.emplace_back(buffer.data());
  }
  return true;
}

int ComboSelection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

RemotePage::~RemotePage() {
  if (page_) VirtualFreeEx(process_, page_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

bool RemotePage::Open(DWORD process_id, std::string& error) {
  if (page_) return true;
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE,
                         process_id);
  if (!process_) {
    error = "OpenProcess failed with error " + std::to_string(GetLastError());
    return false;
  }
  page_ = static_cast<BYTE*>(VirtualAllocEx(process_, nullptr, kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!page_) {
    error = "VirtualAllocEx failed with error " + std::to_string(GetLastError());
    return false;
  }
  return true;
}

// The request structure sits at the start of the page, the text right after it.
bool RemotePage::ReadText(std::wstring& text, std::string& error) {
  std::vector<wchar_t> buffer(kMaxCellChars + 1, L'\0');
  SIZE_T read = 0;
  if (!ReadProcessMemory(process_, page_ + 256, buffer.data(), kMaxCellChars * sizeof(wchar_t), &read)) {
    error = "ReadProcessMemory failed with error " + std::to_string(GetLastError());
    return false;
  }
  buffer[kMaxCellChars] = L'\0';
  text.assign(buffer.data());
  return true;
}

bool RemotePage::ListViewCell(HWND list, int row, int column, DWORD timeout_ms, std::wstring& text,
                              std::string& error) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.cchTextMax = kMaxCellChars;
  item.pszText = reinterpret_cast<LPWSTR>(page_ + 256);
  const wchar_t empty = L'\0';
  SIZE_T written = 0;
  if (!WriteProcessMemory(process_, page_, &item, sizeof item, &written) ||
      !WriteProcessMemory(process_, page_ + 256, &empty, sizeof empty, &written)) {
    error = "WriteProcessMemory failed with error " + std::to_string(GetLastError());
    return false;
  }
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(page_), SMTO_NORMAL, timeout_ms,
                           &length)) {
    error = "the list view did not answer";
    return false;
  }
  return ReadText(text, error);
}

bool RemotePage::ListViewColumn(HWND list, int column, DWORD timeout_ms, std::wstring& text, std::string& error) {
  LVCOLUMNW request{};
  request.mask = LVCF_TEXT;
  request.cchTextMax = kMaxCellChars;
  request.pszText = reinterpret_cast<LPWSTR>(page_ + 256);
  const wchar_t empty = L'\0';
  SIZE_T written = 0;
  if (!WriteProcessMemory(process_, page_, &request, sizeof request, &written) ||
      !WriteProcessMemory(process_, page_ + 256, &empty, sizeof empty, &written)) {
    error = "WriteProcessMemory failed with error " + std::to_string(GetLastError());
    return false;
  }
  DWORD_PTR ok = 0;
  if (!SendMessageTimeoutW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(page_), SMTO_NORMAL, timeout_ms,
                           &ok)) {
    error = "the list view did not answer";
    return false;
  }
  if (!ok) {
    error = "the list view has no column " + std::to_string(column);
    return false;
  }
  return ReadText(text, error);
}

bool ShellDialogUnitsToPixels(int width, int height, SIZE& pixels) {
  // DLGTEMPLATEEX with no controls: version, signature, help id, extended
  // style, style, item count, x, y, cx, cy, menu, class, title, then the font.
  std::vector<WORD> words = {1, 0xFFFF, 0, 0, 0, 0};
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
  words.push_back(LOWORD(style));
  words.push_back(HIWORD(style));
  words.insert(words.end(), {0, 0, 0, 100, 100, 0, 0});  // no items, 0, 0, 100 x 100, no menu, default class
  PushText(words, L"");
  words.push_back(8);    // point size
  words.push_back(400);  // weight
  words.push_back(0);    // italic, character set
  PushText(words, L"MS Shell Dlg");
  HWND probe = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()),
                                          nullptr, SilentDialogProc, 0);
  if (!probe) return false;
  RECT rect = {0, 0, width, height};
  BOOL mapped = MapDialogRect(probe, &rect);
  DestroyWindow(probe);
  pixels.cx = rect.right - rect.left;
  pixels.cy = rect.bottom - rect.top;
  return mapped != FALSE;
}

RECT RectInClient(HWND dialog, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}
