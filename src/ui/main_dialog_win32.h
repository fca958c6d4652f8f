#pragma once
// The main dialog's window procedure and the About box, over the dialog
// template "LUMET" and dialog 105 of the resource script.
#include <windows.h>

#include "ui/window_controls_win32.h"

// The program's module, stored by wWinMain before the dialog is created; the
// resources (strings, icon, About box) are loaded through it.
extern HINSTANCE ModuleInstance;
// The main dialog's controls: the window every operation reaches.
extern WindowControls MainWindow;

struct FrameWidths {
  int left;
  int top;
  int right;
  int bottom;
};

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL OnInitDialog(HWND window);
void OnCommand(HWND window, int id, int notification);
void OnSysCommand(HWND window, WPARAM command, int x, int y);
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Frame widths around the client area, in pixels.
FrameWidths MeasureFrame(HWND window);
// Sizes the window so its client area is width x height dialog units; the
// top-left corner stays where it is.
BOOL ResizeClientArea(HWND window, int width, int height);
