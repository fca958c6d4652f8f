#include "ui/main_dialog_win32.h"

#include <commctrl.h>

#include "ui/control_ids.h"
#include "ui/main_dialog.h"

HINSTANCE ModuleInstance = nullptr;
WindowControls MainWindow;

namespace {
// Room for the texts of the string table.
constexpr int StringChars = 100;

// Extended edit styles of Windows 10 1809 (older headers lack them; older
// systems ignore the message).
#ifndef EM_SETEXTENDEDSTYLE
#define EM_SETEXTENDEDSTYLE (0x1500 + 10)  // ECM_FIRST + 10
#endif
#ifndef ES_EX_ALLOWEOL_CR
#define ES_EX_ALLOWEOL_CR 0x0001L
#endif
#ifndef ES_EX_ALLOWEOL_LF
#define ES_EX_ALLOWEOL_LF 0x0002L
#endif
#ifndef ES_EX_ALLOWEOL_ALL
#define ES_EX_ALLOWEOL_ALL (ES_EX_ALLOWEOL_CR | ES_EX_ALLOWEOL_LF)
#endif

// Records end with a bare CR; a multi-line edit breaks lines only at CR LF
// unless told to, so every download would show as one run-on line. The text
// itself stays as received.
void AllowBareLineEnds(HWND window) {
  SendDlgItemMessageW(window, IDC_BARCODE_DATA, EM_SETEXTENDEDSTYLE, ES_EX_ALLOWEOL_ALL,
                      ES_EX_ALLOWEOL_ALL);
}

INT_PTR RouteInitDialog(HWND window, WPARAM, LPARAM) { return OnInitDialog(window); }

INT_PTR RouteCommand(HWND window, WPARAM wParam, LPARAM) {
  OnCommand(window, LOWORD(wParam), HIWORD(wParam));
  return TRUE;
}

INT_PTR RouteSysCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  // The cursor position as signed words.
  OnSysCommand(window, wParam, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
  return TRUE;
}

INT_PTR RoutePaint(HWND window, WPARAM, LPARAM) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  return TRUE;
}

INT_PTR RouteDestroy(HWND, WPARAM, LPARAM) {
  PostQuitMessage(0);
  return TRUE;
}

struct MessageRoute {
  UINT message;
  INT_PTR (*handler)(HWND window, WPARAM wParam, LPARAM lParam);
  // Handled messages get the message result 0; WM_INITDIALOG returns its own.
  bool setsMessageResult;
};

// Every other message, WM_NOTIFY included, gets the dialog manager's default.
constexpr MessageRoute Routes[] = {
    {WM_INITDIALOG, RouteInitDialog, false},
    {WM_COMMAND, RouteCommand, true},
    {WM_SYSCOMMAND, RouteSysCommand, true},
    {WM_PAINT, RoutePaint, true},
    {WM_DESTROY, RouteDestroy, true},
};

HICON ProgramIcon() { return LoadIconW(ModuleInstance, MAKEINTRESOURCEW(IDI_LUMET)); }

void AddAboutItem(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  wchar_t text[StringChars] = {};
  LoadStringW(ModuleInstance, IDS_ABOUTBOX, text, StringChars);
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
}
}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  for (const MessageRoute& route : Routes) {
    if (route.message != message) continue;
    INT_PTR result = route.handler(window, wParam, lParam);
    if (!route.setsMessageResult) return result;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
    return TRUE;
  }
  return FALSE;
}

BOOL OnInitDialog(HWND window) {
  // The About item at the end of the system menu.
  AddAboutItem(window);
  // The program icon, small and big.
  HICON icon = ProgramIcon();
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  // The layout, the lists, the defaults and the saved settings.
  MainWindow.Attach(window);
  PrepareMainDialog(MainWindow);
  AllowBareLineEnds(window);
  return TRUE;
}

void OnCommand(HWND, int id, int notification) { DispatchCommand(MainWindow, id, notification); }

void OnSysCommand(HWND window, WPARAM command, int x, int y) {
  if (command == IDM_ABOUTBOX) {
    DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutDialogProc, 0);
    return;
  }
  DefWindowProcW(window, WM_SYSCOMMAND, command, MAKELPARAM(x, y));
}

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon()));
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(window, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

FrameWidths MeasureFrame(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  POINT topLeft = {client.left, client.top};
  POINT bottomRight = {client.right, client.bottom};
  ClientToScreen(window, &topLeft);
  ClientToScreen(window, &bottomRight);
  RECT frame = {};
  GetWindowRect(window, &frame);
  return {topLeft.x - frame.left, topLeft.y - frame.top, frame.right - bottomRight.x,
          frame.bottom - bottomRight.y};
}

BOOL ResizeClientArea(HWND window, int width, int height) {
  FrameWidths frame = MeasureFrame(window);
  RECT area = {0, 0, width, height};
  // The dialog's own font decides how large a dialog unit is.
  MapDialogRect(window, &area);
  // No SWP_NOZORDER: the window also comes to the top.
  SetWindowPos(window, nullptr, 0, 0, area.right - area.left + frame.left + frame.right,
               area.bottom - area.top + frame.top + frame.bottom, SWP_NOMOVE);
  return TRUE;
}
