// lumet_driver: starts Lumet.exe, works its window from the outside the way a
// user would, step by step from a scenario script, and checks what it shows.
//
//   lumet_driver.exe [--caption TEXT] PROGRAM.exe SCENARIO.txt
//
// Exit code 0 when every step held, 1 when one failed (after a screenshot named
// "failure"), 2 for a bad command line or script. Screenshots are asked of the
// harness: the driver prints "SHOT name x y width height" and waits for the
// file "shot_name.done" in its working folder.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "scenario_script.h"
#include "window_probe_win32.h"

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kActionTimeoutMs = 30000;
constexpr DWORD kShotTimeoutMs = 15000;
constexpr DWORD kPollMs = 20;

// A message sent from a helper thread, so that a handler which opens a modal
// box does not block the driver: the send returns only when the box closes.
struct PendingSend {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  std::wstring text;  // kept alive for WM_SETTEXT
  HANDLE thread = nullptr;
};

struct Driver {
  std::wstring caption = L"Lumet_V1.02.006";
  PROCESS_INFORMATION program{};
  HWND dialog = nullptr;  // the main window
  HWND box = nullptr;     // the box or dialog the last expect-box / expect-dialog found
  std::wstring program_folder;  // as the program sees it, without the last backslash
  DWORD timeout_ms = 5000;
  RemotePage remote;
  std::vector<std::unique_ptr<PendingSend>> sends;
};

void Say(const char* format, const std::string& text) {
  std::printf(format, text.c_str());
  std::fflush(stdout);
}

// The text in double quotes, with line ends and quotes escaped, for reports.
std::string Quoted(const std::wstring& text) {
  std::string out = "\"";
  for (char c : WideToUtf8(text)) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '"') out += "\\\"";
    else out += c;
  }
  out += '"';
  return out;
}

// " \"text\"": the separator first, to append to a list in a report.
std::string SpaceQuoted(const std::wstring& text) {
  std::string out = " ";
  out += Quoted(text);
  return out;
}

long Number(const std::string& word) {
  long value = 0;
  ParseScenarioNumber(word, value);  // the parser has checked it
  return value;
}

bool ProgramRunning(const Driver& d) { return WaitForSingleObject(d.program.hProcess, 0) == WAIT_TIMEOUT; }

std::vector<HWND> Boxes(const Driver& d) {
  std::vector<HWND> boxes;
  for (HWND window : ProcessDialogs(d.program.dwProcessId))
    if (window != d.dialog) boxes.push_back(window);
  return boxes;
}

DWORD WINAPI SendFromHelper(LPVOID context) {
  auto* send = static_cast<PendingSend*>(context);
  if (send->message == WM_SETTEXT) send->lparam = reinterpret_cast<LPARAM>(send->text.c_str());
  SendMessageW(send->window, send->message, send->wparam, send->lparam);
  return 0;
}

bool AllSendsDone(Driver& d) {
  for (auto& send : d.sends)
    if (send->thread && WaitForSingleObject(send->thread, 0) == WAIT_TIMEOUT) return false;
  return true;
}

// Sends the message and waits until every send so far has returned, or until
// a box that was not open before appears (a handler waits in a modal box).
bool Act(Driver& d, HWND window, UINT message, WPARAM wparam, LPARAM lparam, std::string& error,
         const std::wstring& text = L"") {
  std::vector<HWND> before_list = Boxes(d);
  std::set<HWND> before(before_list.begin(), before_list.end());
  before.erase(d.box);
  auto send = std::make_unique<PendingSend>();
  send->window = window;
  send->message = message;
  send->wparam = wparam;
  send->lparam = lparam;
  send->text = text;
  send->thread = CreateThread(nullptr, 0, SendFromHelper, send.get(), 0, nullptr);
  if (!send->thread) {
    error = "CreateThread failed";
    return false;
  }
  d.sends.push_back(std::move(send));
  for (DWORD waited = 0; waited < kActionTimeoutMs; waited += kPollMs) {
    if (AllSendsDone(d) || !ProgramRunning(d)) return true;
    for (HWND box : Boxes(d))
      if (!before.count(box)) return true;
    Sleep(kPollMs);
  }
  error = "the program is still busy with it after " + std::to_string(kActionTimeoutMs) + " ms";
  return false;
}

// Polls `check` until it returns true or the step's time-out passes; the last
// failure message is kept for the report.
template <typename Check>
bool Await(Driver& d, std::string& error, Check check) {
  for (DWORD waited = 0;; waited += kPollMs) {
    error.clear();
    if (check(error)) {
      error.clear();
      return true;
    }
    if (waited >= d.timeout_ms) return false;
    Sleep(kPollMs);
  }
}

// The main window, found again when a start-up box came before it.
void FindMainWindow(Driver& d) {
  if (d.dialog && IsWindow(d.dialog)) return;
  d.dialog = nullptr;
  for (HWND window : ProcessDialogs(d.program.dwProcessId)) {
    std::wstring caption;
    if (ReadWindowText(window, 200, caption) && caption == d.caption) d.dialog = window;
  }
}

bool Control(Driver& d, long id, HWND& control, std::string& error) {
  if (!d.dialog || !IsWindow(d.dialog)) {
    error = "the main window is not open";
    return false;
  }
  control = GetDlgItem(d.dialog, static_cast<int>(id));
  if (!control) error = "the main window has no control " + std::to_string(id);
  return control != nullptr;
}

bool Text(Driver& d, HWND window, std::wstring& text, std::string& error) {
  if (ReadWindowText(window, d.timeout_ms, text)) return true;
  error = "the window did not answer WM_GETTEXT";
  return false;
}

std::string BoxSummary(Driver& d) {
  std::string out;
  for (HWND box : Boxes(d)) {
    std::wstring caption, text;
    ReadWindowText(box, 500, caption);
    if (HWND message = GetDlgItem(box, 0xFFFF)) ReadWindowText(message, 500, text);
    out += " [";
    out += Quoted(text) + SpaceQuoted(caption) + "]";
  }
  return out.empty() ? " none" : out;
}

std::wstring WithoutMnemonic(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i] >= L'A' && a[i] <= L'Z' ? a[i] + 32 : a[i];
    wchar_t y = b[i] >= L'A' && b[i] <= L'Z' ? b[i] + 32 : b[i];
    if (x != y) return false;
  }
  return true;
}

bool RequestShot(Driver& d, const std::string& name) {
  RECT all{};
  std::vector<HWND> windows = ProcessDialogs(d.program.dwProcessId);
  for (HWND window : windows) {
    RECT rect{};
    GetWindowRect(window, &rect);
    UnionRect(&all, &all, &rect);
    // Right after start the window may not have painted yet: paint it now,
    // then give the X server a moment to show the pixels.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored);
  }
  Sleep(300);
  std::string marker = "shot_" + name + ".done";
  DeleteFileA(marker.c_str());
  std::printf("SHOT %s %ld %ld %ld %ld\n", name.c_str(), all.left, all.top, all.right - all.left, all.bottom - all.top);
  std::fflush(stdout);
  for (DWORD waited = 0; waited < kShotTimeoutMs; waited += 50) {
    if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(50);
  }
  return false;
}

bool ClientSize(Driver& d, const ScenarioStep& step, std::string& error) {
  SIZE expected{};
  if (!ShellDialogUnitsToPixels(Number(step.args[0]), Number(step.args[1]), expected)) {
    error = "could not measure the dialog units";
    return false;
  }
  HWND dialog = d.dialog;
  return Await(d, error, [&](std::string& why) {
    RECT client{};
    if (!IsWindow(dialog) || !GetClientRect(dialog, &client)) {
      why = "the main window is not open";
      return false;
    }
    if (client.right == expected.cx && client.bottom == expected.cy) return true;
    SIZE unit{};
    ShellDialogUnitsToPixels(4, 8, unit);
    char text[200];
    std::snprintf(text, sizeof text, "client area is %ld x %ld pixels (about %ld x %ld dialog units), expected %ld x %ld",
                  client.right, client.bottom, unit.cx ? client.right * 4 / unit.cx : 0,
                  unit.cy ? client.bottom * 8 / unit.cy : 0, expected.cx, expected.cy);
    why = text;
    return false;
  });
}

// Where a control lies against the client area: "inside" wholly, "outside"
// not at all, "partly" otherwise.
std::string Placement(HWND dialog, HWND control) {
  RECT client{}, rect = RectInClient(dialog, control), common{};
  GetClientRect(dialog, &client);
  if (!IntersectRect(&common, &client, &rect)) return "outside";
  if (EqualRect(&common, &rect)) return "inside";
  return "partly";
}

bool Label(Driver& d, const ScenarioStep& step, std::string& error) {
  std::wstring wanted = Utf8ToWide(step.args[0]);
  const std::string& where = step.args[1];
  return Await(d, error, [&](std::string& why) {
    int found = 0;
    for (HWND child : ChildWindows(d.dialog)) {
      std::wstring text;
      if (!ReadWindowText(child, d.timeout_ms, text) || text != wanted) continue;
      ++found;
      std::string actual = IsWindowVisible(child) ? Placement(d.dialog, child) : "hidden";
      if (where == "hidden" ? actual != "hidden" : actual != where) {
        why = "control " + Quoted(text) + " (id " + std::to_string(GetDlgCtrlID(child)) + ") is " + actual;
        return false;
      }
    }
    if (!found) why = "no control with the caption " + Quoted(wanted);
    return found > 0;
  });
}

// A text ending with "*" matches every text that begins with the rest; one
// beginning with "*" every text that ends with the rest.
bool TextMatches(const std::wstring& actual, const std::wstring& wanted) {
  if (wanted.size() > 1 && wanted.back() == L'*')
    return actual.compare(0, wanted.size() - 1, wanted, 0, wanted.size() - 1) == 0;
  if (wanted.size() > 1 && wanted.front() == L'*') {
    std::size_t n = wanted.size() - 1;
    return actual.size() >= n && actual.compare(actual.size() - n, n, wanted, 1, n) == 0;
  }
  return actual == wanted;
}

// A file name or box text of a scenario: "{today}" stands for today's date
// as YYYYMMDD, as automatic file names carry it; "{today/}" as YYYY/MM/DD, as
// a scanner set to the PC time shows it in the CN order.
std::wstring ScenarioText(const std::string& text) {
  std::wstring name = Utf8ToWide(text);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  for (const wchar_t* format : {L"%04u%02u%02u", L"%04u/%02u/%02u"}) {
    const std::wstring mark = format[4] == L'/' ? L"{today/}" : L"{today}";
    std::size_t at = name.find(mark);
    if (at == std::wstring::npos) continue;
    wchar_t date[16];
    swprintf(date, 16, format, now.wYear, now.wMonth, now.wDay);
    name.replace(at, mark.size(), date);
  }
  return name;
}

// The bytes of a file beside the program, read whole.
bool ReadFileBytes(const std::wstring& name, std::string& bytes) {
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char block[4096];
  DWORD got = 0;
  while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
  CloseHandle(file);
  return true;
}

// A text file as Windows programs write Unicode: the byte-order mark FF FE and
// the text in UTF-16LE, "{folder}" standing for the program's folder.
std::string Utf16File(const Driver& d, const std::string& text) {
  std::wstring wide = Utf8ToWide(text);
  const std::wstring mark = L"{folder}";
  for (std::size_t at = wide.find(mark); at != std::wstring::npos; at = wide.find(mark, at + d.program_folder.size()))
    wide.replace(at, mark.size(), d.program_folder);
  std::string bytes = "\xFF\xFE";
  for (wchar_t unit : wide) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>((unit >> 8) & 0xFF);
  }
  return bytes;
}

// Setup lines the driver carries out before it starts the program:
//   @file-utf16 NAME TEXT   writes NAME beside the program as Utf16File does
bool PrepareFiles(const Driver& d, const std::vector<ScenarioStep>& setup, std::string& error) {
  for (const ScenarioStep& step : setup) {
    if (step.verb != "file-utf16") continue;
    if (step.args.size() != 2) {
      error = "line " + std::to_string(step.line) + ": @file-utf16 NAME TEXT";
      return false;
    }
    std::ofstream out(Utf8ToWide(step.args[0]).c_str(), std::ios::binary | std::ios::trunc);
    out << Utf16File(d, step.args[1]);
    if (!out.flush()) {
      error = "cannot write " + step.args[0];
      return false;
    }
  }
  return true;
}

bool ExpectBox(Driver& d, const ScenarioStep& step, std::string& error) {
  std::wstring text = ScenarioText(step.args[0]);
  bool any_caption = step.args.size() < 2;
  std::wstring caption = any_caption ? L"" : Utf8ToWide(step.args[1]);
  bool found = Await(d, error, [&](std::string&) {
    for (HWND box : Boxes(d)) {
      std::wstring box_caption, box_text;
      HWND message = GetDlgItem(box, 0xFFFF);
      if (!message || !ReadWindowText(box, 500, box_caption) || !ReadWindowText(message, 500, box_text)) continue;
      if (TextMatches(box_text, text) && (any_caption || box_caption == caption)) {
        d.box = box;
        return true;
      }
    }
    return false;
  });
  if (!found) error = "no message box " + Quoted(text) + (any_caption ? "" : SpaceQuoted(caption)) + "; open:" + BoxSummary(d);
  return found;
}

bool ExpectDialog(Driver& d, const ScenarioStep& step, std::string& error) {
  std::wstring caption = Utf8ToWide(step.args[0]);
  bool found = Await(d, error, [&](std::string&) {
    for (HWND box : Boxes(d)) {
      std::wstring box_caption;
      if (ReadWindowText(box, 500, box_caption) && box_caption == caption) {
        d.box = box;
        return true;
      }
    }
    return false;
  });
  if (!found) error = "no dialog " + Quoted(caption) + "; open:" + BoxSummary(d);
  return found;
}

bool BoxText(Driver& d, const ScenarioStep& step, std::string& error) {
  std::wstring wanted = Utf8ToWide(step.args[0]);
  if (!d.box || !IsWindow(d.box)) {
    error = "no box is current (expect-box or expect-dialog first)";
    return false;
  }
  return Await(d, error, [&](std::string& why) {
    std::string seen;
    for (HWND child : ChildWindows(d.box)) {
      std::wstring text;
      if (WindowClassName(child) != L"Static" || !ReadWindowText(child, 500, text)) continue;
      if (text == wanted) return true;
      seen += SpaceQuoted(text);
    }
    why = "the box has no static text " + Quoted(wanted) + "; it has:" + seen;
    return false;
  });
}

bool Answer(Driver& d, const ScenarioStep& step, std::string& error) {
  HWND box = d.box;
  if (!box || !IsWindow(box)) {
    error = "no box is current (expect-box or expect-dialog first)";
    return false;
  }
  std::wstring wanted = Utf8ToWide(step.args[0]);
  long id = 0;
  bool by_id = ParseScenarioNumber(step.args[0], id);
  HWND button = nullptr;
  std::string seen;
  for (HWND child : ChildWindows(box)) {
    std::wstring text;
    if (WindowClassName(child) != L"Button" || !IsWindowVisible(child) || !ReadWindowText(child, 500, text)) continue;
    seen += SpaceQuoted(text);
    if (by_id ? GetDlgCtrlID(child) == id : SameIgnoringAsciiCase(WithoutMnemonic(text), wanted)) button = child;
  }
  if (!button) {
    error = "the box has no visible button " + Quoted(wanted) + "; it has:" + seen;
    return false;
  }
  if (!Act(d, button, BM_CLICK, 0, 0, error)) return false;
  d.box = nullptr;
  return Await(d, error, [&](std::string& why) {
    why = "the box is still open";
    return !IsWindow(box) || !IsWindowVisible(box);
  });
}

// The window a key typed now would reach: the focus of the program's window
// thread once it has settled. While a box closes, the focus still names the
// box (hidden, or being destroyed) and a key posted there is lost; so the focus
// counts only when its top-level window is visible and enabled. With no focus
// at all, the main window takes the key unless a box holds it disabled.
HWND KeyTarget(Driver& d) {
  DWORD thread = d.dialog ? GetWindowThreadProcessId(d.dialog, nullptr) : d.program.dwThreadId;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(thread, &info)) return nullptr;
  HWND focus = info.hwndFocus;
  if (!focus || !IsWindow(focus)) focus = d.dialog;
  if (!focus || !IsWindow(focus)) return nullptr;
  HWND top = GetAncestor(focus, GA_ROOT);
  return top && IsWindowVisible(top) && IsWindowEnabled(top) ? focus : nullptr;
}

bool PostKey(Driver& d, const std::string& name, std::string& error) {
  UINT key = name == "esc" ? VK_ESCAPE : name == "enter" ? VK_RETURN : name == "tab" ? VK_TAB : VK_SPACE;
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  // A window can still vanish between finding it and posting: then look again.
  bool posted = Await(d, error, [&](std::string& why) {
    HWND target = KeyTarget(d);
    if (!target) {
      why = "no window of the program has a settled focus; open boxes:" + BoxSummary(d);
      return false;
    }
    if (!PostMessageW(target, WM_KEYDOWN, key, scan | 1)) {
      why = "the focus window went away before the key reached it";
      return false;
    }
    PostMessageW(target, WM_KEYUP, key, scan | 1 | (1LL << 30) | (1LL << 31));
    return true;
  });
  if (!posted && error.empty()) error = "the key could not be posted";
  return posted;
}

bool ListRead(Driver& d, HWND list, const ScenarioStep& step, bool header, std::string& error) {
  if (!d.remote.Open(d.program.dwProcessId, error)) return false;
  std::wstring wanted = Utf8ToWide(step.args.back());
  return Await(d, error, [&](std::string& why) {
    std::wstring text;
    bool read = header ? d.remote.ListViewColumn(list, Number(step.args[1]), d.timeout_ms, text, why)
                       : d.remote.ListViewCell(list, Number(step.args[1]), Number(step.args[2]), d.timeout_ms, text, why);
    if (!read) return false;
    if (text == wanted) return true;
    why = (header ? "column header is " : "cell is ") + Quoted(text);
    return false;
  });
}

bool ExpectComboItems(Driver& d, HWND combo, const ScenarioStep& step, std::string& error) {
  std::vector<std::wstring> wanted;
  for (size_t i = 1; i < step.args.size(); ++i) wanted.push_back(Utf8ToWide(step.args[i]));
  return Await(d, error, [&](std::string& why) {
    std::vector<std::wstring> items;
    if (!ReadComboItems(combo, d.timeout_ms, items)) {
      why = "could not read the combo box items";
      return false;
    }
    if (items == wanted) return true;
    why = "items are";
    for (auto& item : items) why += SpaceQuoted(item);
    if (items.empty()) why += " none";
    return false;
  });
}

bool SelectedText(Driver& d, HWND combo, std::wstring& text, std::string& error) {
  std::vector<std::wstring> items;
  if (!ReadComboItems(combo, d.timeout_ms, items)) {
    error = "could not read the combo box items";
    return false;
  }
  int selection = ComboSelection(combo);
  text = selection >= 0 && selection < static_cast<int>(items.size()) ? items[selection] : L"";
  return true;
}

bool Select(Driver& d, HWND combo, const ScenarioStep& step, std::string& error) {
  std::vector<std::wstring> items;
  if (!ReadComboItems(combo, d.timeout_ms, items)) {
    error = "could not read the combo box items";
    return false;
  }
  std::wstring wanted = Utf8ToWide(step.args[1]);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] != wanted) continue;
    return Act(d, combo, CB_SETCURSEL, i, 0, error) &&
           Act(d, d.dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo),
               error);
  }
  error = "the combo box has no item " + Quoted(wanted);
  return false;
}

// Types into a control of the current box or dialog (the save dialog's file name).
bool BoxType(Driver& d, const ScenarioStep& step, std::string& error) {
  if (!d.box || !IsWindow(d.box)) {
    error = "no box is current (expect-box or expect-dialog first)";
    return false;
  }
  HWND control = GetDlgItem(d.box, static_cast<int>(Number(step.args[0])));
  if (control) return Act(d, control, WM_SETTEXT, 0, 0, error, Utf8ToWide(step.args[1]));
  error = "the box has no control " + step.args[0] + "; it has:";
  for (HWND child : ChildWindows(d.box))
    error += " " + std::to_string(GetDlgCtrlID(child)) + "/" + WideToUtf8(WindowClassName(child));
  return false;
}

// The harness reads the workbook (an SQLite file with the Excel driver's
// stand-in) with sqlite3: the driver prints "SHEET n NAME" and waits for
// sheet_n.done beside sheet_n.txt, which holds the header and the rows.
bool ExpectSheet(Driver& d, const ScenarioStep& step, std::string& error) {
  static int requests = 0;
  std::string number = std::to_string(++requests);
  std::string done = "sheet_" + number + ".done", text = "sheet_" + number + ".txt";
  std::printf("SHEET %s %s\n", number.c_str(), step.args[0].c_str());
  std::fflush(stdout);
  bool answered = false;
  for (DWORD waited = 0; waited < kShotTimeoutMs && !answered; waited += 50) {
    answered = GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!answered) Sleep(50);
  }
  std::string bytes;
  if (!answered || !ReadFileBytes(Utf8ToWide(text), bytes)) {
    error = "the harness did not read the workbook";
    return false;
  }
  std::vector<std::string> lines;
  std::stringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  std::vector<std::string> wanted(step.args.begin() + 1, step.args.end());
  if (lines == wanted) return true;
  error = "the sheet holds:";
  for (const std::string& line : lines) error += " \"" + line + "\"";
  return false;
}

bool ExpectExit(Driver& d, const ScenarioStep& step, std::string& error) {
  DWORD wait = WaitForSingleObject(d.program.hProcess, d.timeout_ms);
  if (wait != WAIT_OBJECT_0) {
    error = "the program is still running after " + std::to_string(d.timeout_ms) + " ms; open boxes:" + BoxSummary(d);
    return false;
  }
  DWORD code = 0;
  GetExitCodeProcess(d.program.hProcess, &code);
  if (static_cast<long>(code) == Number(step.args[0])) return true;
  error = "the program ended with code " + std::to_string(code);
  return false;
}

// Steps that need no control of the main window.
bool RunGeneralStep(Driver& d, const ScenarioStep& step, bool& handled, std::string& error) {
  handled = true;
  const std::string& verb = step.verb;
  if (verb == "timeout") d.timeout_ms = static_cast<DWORD>(Number(step.args[0]));
  else if (verb == "sleep") Sleep(static_cast<DWORD>(Number(step.args[0])));
  else if (verb == "shot") {
    if (!RequestShot(d, step.args[0])) error = "the harness took no screenshot";
  } else if (verb == "syscommand") {
    if (!PostMessageW(d.dialog, WM_SYSCOMMAND, static_cast<WPARAM>(Number(step.args[0])), 0)) error = "PostMessage failed";
  } else if (verb == "close") {
    if (!PostMessageW(d.dialog, WM_SYSCOMMAND, SC_CLOSE, 0)) error = "PostMessage failed";
  } else if (verb == "key") PostKey(d, step.args[0], error);
  else if (verb == "expect-client") ClientSize(d, step, error);
  else if (verb == "expect-label") Label(d, step, error);
  else if (verb == "expect-box") ExpectBox(d, step, error);
  else if (verb == "expect-dialog") ExpectDialog(d, step, error);
  else if (verb == "expect-box-text") BoxText(d, step, error);
  else if (verb == "answer") Answer(d, step, error);
  else if (verb == "box-type") BoxType(d, step, error);
  else if (verb == "expect-sheet") ExpectSheet(d, step, error);
  else if (verb == "expect-exit") ExpectExit(d, step, error);
  else if (verb == "expect-no-box") {
    Sleep(200);
    if (!Await(d, error, [&](std::string&) { return Boxes(d).empty(); })) error = "boxes are open:" + BoxSummary(d);
  } else if (verb == "expect-file") {
    bool wanted = step.args[1] == "1";
    std::wstring name = ScenarioText(step.args[0]);
    if (!Await(d, error, [&](std::string&) { return (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) == wanted; }))
      error = "the file " + Quoted(name) + (wanted ? " does not exist" : " exists");
  } else if (verb == "expect-file-bytes" || verb == "expect-file-utf16" || verb == "expect-file-same") {
    std::wstring name = ScenarioText(step.args[0]);
    bool utf16 = verb == "expect-file-utf16";
    std::string wanted = utf16 ? Utf16File(d, step.args[1]) : step.args[1];
    std::string bytes;
    if (verb == "expect-file-same" && !ReadFileBytes(Utf8ToWide(step.args[1]), wanted))
      error = "the file " + step.args[1] + " to compare with is missing";
    else if (!Await(d, error, [&](std::string&) { return ReadFileBytes(name, bytes) && bytes == wanted; })) {
      error = "the file " + Quoted(name) + " holds " + std::to_string(bytes.size()) + " bytes: ";
      if (!utf16) error += "\"" + bytes.substr(0, 200) + "\"";
      for (std::size_t i = 0; utf16 && i < bytes.size() && i < 1000; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned char>(bytes[i]));
        error += hex;
      }
    }
  } else handled = false;
  return error.empty();
}

bool RunControlStep(Driver& d, const ScenarioStep& step, std::string& error) {
  const std::string& verb = step.verb;
  HWND control = nullptr;
  if (!Control(d, Number(step.args[0]), control, error)) return false;
  auto flag = [&](size_t i) { return step.args[i] == "1"; };
  // A person can only click an enabled control. A worker gives its controls
  // back a moment after its last box closes, so a click waits for that.
  auto enabled = [&] {
    return Await(d, error, [&](std::string& why) {
      why = "the control stays disabled";
      return IsWindowEnabled(control) != FALSE;
    });
  };
  if (verb == "click") return enabled() && Act(d, control, BM_CLICK, 0, 0, error);
  if (verb == "type") return Act(d, control, WM_SETTEXT, 0, 0, error, Utf8ToWide(step.args[1]));
  if (verb == "check") {
    bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return checked == flag(1) || (enabled() && Act(d, control, BM_CLICK, 0, 0, error));
  }
  if (verb == "select") return Select(d, control, step, error);
  if (verb == "dropdown")
    return Act(d, control, CB_SHOWDROPDOWN, TRUE, 0, error) && Act(d, control, CB_SHOWDROPDOWN, FALSE, 0, error);
  if (verb == "command") {
    WPARAM code = step.args.size() > 1 ? static_cast<WPARAM>(Number(step.args[1])) : BN_CLICKED;
    return Act(d, d.dialog, WM_COMMAND, MAKEWPARAM(Number(step.args[0]), code), reinterpret_cast<LPARAM>(control), error);
  }
  if (verb == "expect-text") {
    std::wstring wanted = ScenarioText(step.args[1]);
    return Await(d, error, [&](std::string& why) {
      std::wstring text;
      if (!Text(d, control, text, why)) return false;
      why = "text is " + Quoted(text);
      return TextMatches(text, wanted);
    });
  }
  if (verb == "expect-enabled")
    return Await(d, error, [&](std::string& why) {
      why = IsWindowEnabled(control) ? "the control is enabled" : "the control is disabled";
      return (IsWindowEnabled(control) != FALSE) == flag(1);
    });
  if (verb == "expect-visible")
    return Await(d, error, [&](std::string& why) {
      why = IsWindowVisible(control) ? "the control is visible" : "the control is hidden";
      return (IsWindowVisible(control) != FALSE) == flag(1);
    });
  if (verb == "expect-check")
    return Await(d, error, [&](std::string& why) {
      LRESULT state = SendMessageW(control, BM_GETCHECK, 0, 0);
      why = "check state is " + std::to_string(state);
      return state == Number(step.args[1]);
    });
  if (verb == "expect-readonly")
    return Await(d, error, [&](std::string& why) {
      bool readOnly = (GetWindowLongW(control, GWL_STYLE) & ES_READONLY) != 0;
      why = readOnly ? "the box is read-only" : "the box is editable";
      return readOnly == flag(1);
    });
  if (verb == "expect-inside" || verb == "expect-outside") {
    std::string wanted = verb == "expect-inside" ? "inside" : "outside";
    return Await(d, error, [&](std::string& why) {
      std::string actual = Placement(d.dialog, control);
      why = "the control is " + actual + " the client area";
      return actual == wanted;
    });
  }
  if (verb == "expect-combo") return ExpectComboItems(d, control, step, error);
  if (verb == "expect-selected") {
    std::wstring wanted = Utf8ToWide(step.args[1]);
    return Await(d, error, [&](std::string& why) {
      std::wstring text;
      if (!SelectedText(d, control, text, why)) return false;
      why = "selected item is " + Quoted(text);
      return text == wanted;
    });
  }
  if (verb == "expect-rows")
    return Await(d, error, [&](std::string& why) {
      LRESULT rows = SendMessageW(control, LVM_GETITEMCOUNT, 0, 0);
      why = "the list has " + std::to_string(rows) + " rows";
      return rows == Number(step.args[1]);
    });
  if (verb == "expect-cell") return ListRead(d, control, step, false, error);
  if (verb == "expect-column") return ListRead(d, control, step, true, error);
  error = "step not implemented";
  return false;
}

bool StartProgram(Driver& d, const std::wstring& program, std::string& error) {
  std::wstring command = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &d.program)) {
    error = "could not start " + WideToUtf8(program) + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  // Ready once the main window is visible and its thread answers messages
  // (WM_INITDIALOG is over), or once the program shows a box during start-up.
  for (DWORD waited = 0; waited < kStartTimeoutMs; waited += kPollMs) {
    if (!ProgramRunning(d)) {
      DWORD code = 0;
      GetExitCodeProcess(d.program.hProcess, &code);
      error = "the program ended (code " + std::to_string(code) + ") before its window appeared";
      return false;
    }
    for (HWND window : ProcessDialogs(d.program.dwProcessId)) {
      std::wstring caption;
      DWORD_PTR ignored = 0;
      if (ReadWindowText(window, 200, caption) && caption == d.caption && GetWindow(window, GW_CHILD) &&
          SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 200, &ignored)) {
        d.dialog = window;
        return true;
      }
      if (caption != d.caption) return true;  // a box before the main window
    }
    Sleep(kPollMs);
  }
  error = "no window " + Quoted(d.caption) + " after " + std::to_string(kStartTimeoutMs) + " ms";
  return false;
}

void StopProgram(Driver& d) {
  if (d.program.hProcess && ProgramRunning(d)) {
    TerminateProcess(d.program.hProcess, 1);
    WaitForSingleObject(d.program.hProcess, 5000);
  }
  for (auto& send : d.sends)
    if (send->thread) WaitForSingleObject(send->thread, 2000);
}

std::string StepText(const ScenarioStep& step) {
  std::string out = step.verb;
  for (const std::string& arg : step.args) out += SpaceQuoted(Utf8ToWide(arg));
  return out;
}

int Usage() {
  std::printf("usage: lumet_driver [--caption TEXT] PROGRAM.exe SCENARIO.txt\nsteps:\n");
  for (const ScenarioVerb& verb : ScenarioVerbs()) std::printf("  %s\n", verb.help);
  std::printf("setup lines it carries out itself:\n  @file-utf16 NAME TEXT: write NAME beside the program as FF FE and TEXT in UTF-16LE ({folder} as above)\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Driver d;
  std::vector<std::wstring> paths;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--caption" && i + 1 < argc) d.caption = argv[++i];
    else if (arg.rfind(L"--", 0) == 0) return Usage();
    else paths.push_back(arg);
  }
  if (paths.size() != 2) return Usage();

  std::ifstream file(paths[1].c_str(), std::ios::binary);
  if (!file) {
    Say("cannot read the scenario %s\n", WideToUtf8(paths[1]));
    return 2;
  }
  std::stringstream content;
  content << file.rdbuf();
  std::string text = content.str();
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  ScenarioScript script = ParseScenario(text);
  if (!script.error.empty()) {
    Say("bad scenario: %s\n", script.error);
    return 2;
  }

  std::string error;
  const ScenarioStep* failed = nullptr;
  std::wstring program(MAX_PATH * 4, L'\0');
  DWORD length = GetFullPathNameW(paths[0].c_str(), static_cast<DWORD>(program.size()), program.data(), nullptr);
  program.resize(length < program.size() ? length : 0);
  d.program_folder = program.substr(0, program.rfind(L'\\'));
  if (!PrepareFiles(d, script.setup, error)) {
    Say("bad scenario: %s\n", error);
    return 2;
  }
  if (!StartProgram(d, paths[0], error)) {
    Say("FAIL start: %s\n", error);
    StopProgram(d);
    return 1;
  }
  for (const ScenarioStep& step : script.steps) {
    ULONGLONG started = GetTickCount64();
    bool handled = false;
    error.clear();
    FindMainWindow(d);
    bool ok = RunGeneralStep(d, step, handled, error);
    if (!handled) ok = RunControlStep(d, step, error);
    std::printf("  %5llu ms  line %d: %s\n", GetTickCount64() - started, step.line, StepText(step).c_str());
    std::fflush(stdout);
    if (!ok) {
      failed = &step;
      break;
    }
  }
  if (failed) {
    std::printf("FAIL line %d: %s: %s\n", failed->line, StepText(*failed).c_str(), error.c_str());
    std::fflush(stdout);
    RequestShot(d, "failure");
  } else {
    std::printf("PASS %zu steps\n", script.steps.size());
  }
  std::fflush(stdout);
  StopProgram(d);
  return failed ? 1 : 0;
}
