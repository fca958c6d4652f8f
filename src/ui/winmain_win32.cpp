// Lumet.exe: the main dialog, run modally; the dialog manager's loop is the
// program's only message loop.
#include <windows.h>
#include <commctrl.h>

#include "ui/control_ids.h"
#include "ui/main_dialog_win32.h"

namespace {
// DLLs loaded from now on by name come from the system folder only: not from
// Lumet.exe's folder, the current folder or PATH, where anyone may have put a
// DLL of a system name. Through GetProcAddress, as a Windows 7 without its
// loader update lacks the function (and then keeps its old search order).
void RestrictDllSearch() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC found = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  if (found == nullptr) return;
  auto setDirectories = reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(found));
  setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();
  // String 103 names the dialog template.
  wchar_t templateName[100] = {};
  LoadStringW(instance, IDS_DIALOG_NAME, templateName, 100);
  ModuleInstance = instance;
  // The template's list view needs its window class registered.
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);
  return static_cast<int>(DialogBoxParamW(instance, templateName, nullptr, MainDialogProc, 0));
}
