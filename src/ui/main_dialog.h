#pragma once
// The main dialog's start-up and the dispatch of its commands, over Controls
// so they run the same in the window and in tests. The Win32 dialog procedure
// (main_dialog_win32.cpp) adds the system menu and the icons and routes
// WM_COMMAND here.
#include <cstddef>
#include <span>

class Controls;

// Client area in dialog units: the normal layout, the wider auto-mode layout
// that uncovers the device list, and the height of both.
constexpr int NormalWidth = 280;
constexpr int AutoWidth = 520;
constexpr int DialogHeight = 315;

// Characters the "Barcode Data" box holds.
constexpr std::size_t BarcodeTextLimit = 0x100000;

// Command id 2 (IDCANCEL): Esc, the close box, Alt+F4, the system menu's
// "Close"; the dialog ends with this result.
constexpr int CloseCommandId = 2;
constexpr int CloseDialogResult = 2;

// Notification codes of WM_COMMAND, with the values Windows gives them.
constexpr int NotifyClicked = 0;       // BN_CLICKED
constexpr int NotifyDropDown = 7;      // CBN_DROPDOWN
constexpr int NotifyEditChange = 0x300;  // EN_CHANGE
constexpr int NotifyEditUpdate = 0x400;  // EN_UPDATE
// A row that acts on every notification of its control.
constexpr int AnyNotification = -1;

// The language list's two entries; the choice is never read.
constexpr wchar_t LanguageEnglish[] = L"English";
constexpr wchar_t LanguageChinese[] = L"\u7b80\u4f53\u4e2d\u6587";

// What a command waits for. Always: nothing (closing; the file-name box's
// notifications, which the program's own changes raise too). Enabled: its
// control enabled; a command sent to a disabled control is dropped, as the
// control drops a click. Held: also held as a DialogOperation, beside a job
// (nothing it touches is a job's). Alone: held, and never while a job runs.
enum class CommandGate { Always, Enabled, Held, Alone };

struct CommandRow {
  int id;
  int notification;
  void (*action)(Controls& dialog);
  CommandGate gate;
};

// The dispatch table: control id and notification to the operation it starts
// (read by DispatchCommand, and by a test that every row is one of its kind).
std::span<const CommandRow> CommandTable();

// Runs the row for this id and notification; false when none matches (the
// command is ignored).
bool DispatchCommand(Controls& dialog, int id, int notification);

// The dialog's start-up after the system menu and the icons (which belong to
// the window itself): layout, lists, defaults, the saved settings. Also makes
// the dialog the front end the exchange reads the "Response" choice from.
void PrepareMainDialog(Controls& dialog);
