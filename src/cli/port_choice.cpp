#include "cli/port_choice.h"

#include <algorithm>
#include <cstdio>

#include "cli/console_text.h"
#include "common/ascii_fold.h"

namespace {
std::string Listed(const std::vector<CliPort>& found) {
  std::string list;
  for (const CliPort& port : found) list += (list.empty() ? "" : ", ") + port.name;
  return list.empty() ? "none" : list;
}

// A listed port by its name; otherwise the device as named (a USB-serial
// cable, an rfcomm bound by hand, a test's pty), said on stderr.
int PortNamed(const std::string& name, const std::vector<CliPort>& found, CliPort& port) {
  for (const CliPort& listed : found) {
    if (!SameFoldedAscii(listed.name, name)) continue;
    port = listed;
    return -1;
  }
  const std::string shown = OneLine(name);
  switch (FindNamedPort(name, port)) {
    case NamedPort::Found:
      std::fprintf(stderr, "%s is not listed as a scanner port: used as given\n", shown.c_str());
      return -1;
    case NamedPort::NotSerial:
      std::fprintf(stderr, "%s is not a serial port\n", shown.c_str());
      return ExitUsage;
    case NamedPort::Missing:
      break;
  }
  if (found.empty()) {
    std::fprintf(stderr, "no scanner found (there is no port %s)\n", shown.c_str());
    return ExitNoScanner;
  }
  std::fprintf(stderr, "unknown port %s (scanner ports found: %s)\n", shown.c_str(),
               Listed(found).c_str());
  return ExitUsage;
}
}  // namespace

int ChoosePorts(const CliOptions& o, std::vector<CliPort>& chosen) {
  const std::vector<CliPort> found = FindCliPorts();
  if (o.all) {
    chosen = found;
    if (!chosen.empty()) return -1;
    std::fprintf(stderr, "no scanner found\n");
    return ExitNoScanner;
  }
  for (const std::string& name : o.ports) {
    CliPort port;
    if (const int stop = PortNamed(name, found, port); stop >= 0) return stop;
    // One device named twice ("COM3" and "com3") is one scanner.
    const bool again = std::any_of(chosen.begin(), chosen.end(), [&](const CliPort& taken) {
      return taken.openPath == port.openPath;
    });
    if (!again) chosen.push_back(port);
  }
  return -1;
}
