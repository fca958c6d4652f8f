// The collection service on Windows: install and uninstall through the
// service manager, and the service itself, which runs the watch with its
// printed lines going to the Event Log and a log file.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/cli_platform.h"
#include "cli/cli_service.h"
#include "cli/console_front_end.h"
#include "common/output_file.h"

namespace {
// How long uninstall waits for a running service to stop: a download under
// way ends within its bounds (seconds), then the watch returns.
constexpr DWORD StopWaitMs = 60000;

std::wstring Wide(const char* text) { return PathFromArgument(text); }

std::string LastError() {
  const DWORD error = GetLastError();
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  std::string reason(text, length < sizeof text ? length : sizeof text - 1);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  return reason + " (" + std::to_string(error) + ")";
}

std::string ProgramFile() {
  char path[MAX_PATH * 4] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

// The service starts in the system folder: folders are made full paths.
std::vector<std::string> WithFullPaths(std::vector<std::string> arguments) {
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (option != "--out" && option != "--archive" && option != "--config") continue;
    char full[MAX_PATH * 4] = {};
    DWORD length = GetFullPathNameA(arguments[i + 1].c_str(), sizeof full, full, nullptr);
    if (length > 0 && length < sizeof full) arguments[i + 1] = full;
  }
  return arguments;
}

int Install(const CliOptions& o) {
  const std::string program = ProgramFile();
  if (program.empty()) {
    std::fprintf(stderr, "service install: cannot find this program's path\n");
    return ExitFailed;
  }
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  if (!manager) {
    std::fprintf(stderr, "service install: %s (run it as an administrator)\n", LastError().c_str());
    return ExitFailed;
  }
  const std::wstring line = Wide(ServiceCommandLine(program, WithFullPaths(o.watchArguments)).c_str());
  const std::wstring user = Wide(o.serviceUser.c_str()), password = Wide(o.servicePassword.c_str());
  SC_HANDLE service = CreateServiceW(
      manager, Wide(ServiceName).c_str(), Wide(ServiceDisplayName).c_str(), SERVICE_ALL_ACCESS,
      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, line.c_str(), nullptr,
      nullptr, nullptr, user.empty() ? nullptr : user.c_str(), password.empty() ? nullptr : password.c_str());
  if (!service) {
    std::fprintf(stderr, "service install: %s\n", LastError().c_str());
    CloseServiceHandle(manager);
    return ExitFailed;
  }
  std::wstring about = L"Downloads each KT52 scanner as it is plugged in (lumet-cli watch).";
  SERVICE_DESCRIPTIONW description{about.data()};
  ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description);
  const bool started = StartServiceW(service, 0, nullptr) != FALSE;
  const std::string why = started ? std::string() : LastError();
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  if (!started) {
    std::fprintf(stderr, "service install: installed, but it did not start: %s\n", why.c_str());
    return ExitFailed;
  }
  std::printf("%s installed and started: %s\n", ServiceDisplayName, PathText(line).c_str());
  return ExitSucceeded;
}

int Uninstall() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service =
      manager ? OpenServiceW(manager, Wide(ServiceName).c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)
              : nullptr;
  if (!service) {
    std::fprintf(stderr, "service uninstall: %s\n", LastError().c_str());
    if (manager) CloseServiceHandle(manager);
    return ExitFailed;
  }
  SERVICE_STATUS status{};
  if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    for (DWORD waited = 0; waited < StopWaitMs && status.dwCurrentState != SERVICE_STOPPED; waited += 250) {
      Sleep(250);
      if (!QueryServiceStatus(service, &status)) break;
    }
  }
  const bool deleted = DeleteService(service) != FALSE;
  const std::string why = deleted ? std::string() : LastError();
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  if (!deleted) {
    std::fprintf(stderr, "service uninstall: %s\n", why.c_str());
    return ExitFailed;
  }
  std::printf("%s removed\n", ServiceDisplayName);
  return ExitSucceeded;
}

// --- The service itself -----------------------------------------------------

CliOptions RunOptions;
HANDLE StopEvent = nullptr;  // set by a stop request; the watch child waits for it
SERVICE_STATUS_HANDLE StatusHandle = nullptr;
SERVICE_STATUS Status{};

void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHint = 0) {
  Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  Status.dwCurrentState = state;
  Status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  Status.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  Status.dwServiceSpecificExitCode = exitCode;
  Status.dwWaitHint = waitHint;
  if (state != SERVICE_RUNNING && state != SERVICE_STOPPED) ++Status.dwCheckPoint;
  else Status.dwCheckPoint = 0;
  SetServiceStatus(StatusHandle, &Status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    // As SIGTERM: no new download starts, the one under way ends within its bounds.
    if (StopEvent) SetEvent(StopEvent);
    Report(SERVICE_STOP_PENDING, NO_ERROR, StopWaitMs);
    return NO_ERROR;
  }
  return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

// Each line printed, from the watch or the service, into the log file and the Event Log.
class EventLines {
 public:
  explicit EventLines(const std::wstring& folder) : logPath_(folder + L"\\" + Wide(ServiceLogName)) {
    source_ = RegisterEventSourceW(nullptr, Wide(ServiceDisplayName).c_str());
  }
  ~EventLines() {
    if (source_) DeregisterEventSource(source_);
  }
  void Line(const std::string& line) {
    OutputFile log;
    if (log.OpenForAppend(logPath_)) {
      const std::string text = line + "\r\n";
      log.Append(text.data(), text.size());
      log.FlushAndClose();
    }
    if (!source_) return;
    const std::wstring wide = Wide(line.c_str());
    const wchar_t* strings[] = {wide.c_str()};
    const bool failed = line.find("Failed") != std::string::npos || line.find("cannot") != std::string::npos;
    ReportEventW(source_, failed ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0, failed ? 2 : 1,
                 nullptr, 1, 0, strings, nullptr);
  }

 private:
  std::wstring logPath_;
  HANDLE source_ = nullptr;
};

// The watch's lines, read from its output until it ends.
void ReadLines(HANDLE pipe, EventLines* events) {
  std::string pending;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    pending.append(buffer, n);
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pending.erase(0, end + 1);
      events->Line(line);
    }
    if (pending.size() > 65536) {  // a line without end is cut, never grown without bound
      events->Line(pending);
      pending.clear();
    }
  }
  if (!pending.empty()) events->Line(pending);
}

// A service has no standard streams for the watch to print on, so the watch
// runs as a child whose output is a pipe, and hears the stop request
// through an event it inherits (LUMET_STOP_EVENT holds its handle).

DWORD RunWatchChild(EventLines& events) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  StopEvent = CreateEventW(&inherit, TRUE, FALSE, nullptr);
  if (!StopEvent || !CreatePipe(&read, &write, &inherit, 0)) {
    events.Line("cannot start the watch: " + LastError());
    return ExitFailed;
  }
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  SetEnvironmentVariableW(L"LUMET_STOP_EVENT",
                          std::to_wstring(reinterpret_cast<std::uintptr_t>(StopEvent)).c_str());
  std::string line = QuoteArgument(ProgramFile());
  line += " watch ";
  line += QuotedArguments(RunOptions.watchArguments);
  std::wstring command = Wide(line.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  PROCESS_INFORMATION child{};
  const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                      nullptr, nullptr, &startup, &child) != FALSE;
  const std::string why = started ? std::string() : LastError();
  CloseHandle(write);  // the child's copy is the only one left: its end is the pipe's end
  if (!started) {
    CloseHandle(read);
    events.Line("cannot start the watch: " + why);
    return ExitFailed;
  }
  std::thread reader(ReadLines, read, &events);
  Report(SERVICE_RUNNING);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = ExitFailed;
  GetExitCodeProcess(child.hProcess, &status);
  reader.join();
  CloseHandle(read);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return status;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  StatusHandle = RegisterServiceCtrlHandlerExW(Wide(ServiceName).c_str(), &OnControl, nullptr);
  if (!StatusHandle) return;
  Report(SERVICE_START_PENDING, NO_ERROR, 5000);
  // The output folder, also the log's, is made as the install's --out named it.
  MakeFolders(RunOptions.choices.outDir);
  EventLines events(RunOptions.choices.outDir);
  events.Line(UtcNowText() + " " + ServiceDisplayName + " started: watch " +
              QuotedArguments(RunOptions.watchArguments));
  const DWORD status = RunWatchChild(events);
  events.Line(UtcNowText() + " " + ServiceDisplayName + " stopped (exit " + std::to_string(status) + ")");
  Report(SERVICE_STOPPED, status);
}

int Run(const CliOptions& o) {
  RunOptions = o;
  RunOptions.service = ServiceAction::None;
  std::wstring name = Wide(ServiceName);
  SERVICE_TABLE_ENTRYW table[] = {{name.data(), &ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherW(table)) return ExitSucceeded;
  // Started from a console, not by the service manager: the watch as it is.
  if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return RunCli(RunOptions);
  std::fprintf(stderr, "service run: %s\n", LastError().c_str());
  return ExitFailed;
}

void WaitForStop(HANDLE event) {
  WaitForSingleObject(event, INFINITE);
  StopRequested = true;
}
}  // namespace

void ListenForServiceStop() {
  const char* handle = std::getenv("LUMET_STOP_EVENT");
  if (!handle || !*handle) return;
  HANDLE event = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(handle, nullptr, 10)));
  DWORD flags = 0;
  if (!GetHandleInformation(event, &flags)) return;  // no handle of this process
  std::thread(WaitForStop, event).detach();
}

int RunServiceCommand(const CliOptions& o) {
  switch (o.service) {
    case ServiceAction::Install: return Install(o);
    case ServiceAction::Uninstall: return Uninstall();
    case ServiceAction::Run: return Run(o);
    case ServiceAction::None: break;
  }
  return ExitUsage;
}
