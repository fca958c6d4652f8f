// Lumet.exe: the main dialog, run modally; the dialog manager's loop is the
// program's only message loop.
#include <windows.h>
#include <commctrl.h>

#include "ui/control_ids.h"
#include "ui/main_dialog_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // String 103 names the dialog template.
  wchar_t templateName[100] = {};
  LoadStringW(instance, IDS_DIALOG_NAME, templateName, 100);
  ModuleInstance = instance;
  // The template's list view needs its window class registered.
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);
  return static_cast<int>(DialogBoxParamW(instance, templateName, nullptr, MainDialogProc, 0));
}
