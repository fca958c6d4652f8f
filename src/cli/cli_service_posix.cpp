// No Windows service here: systemd's units run the watch instead.
#include <cstdio>

#include "cli/cli_service.h"

int RunServiceCommand(const CliOptions&) {
  std::fprintf(stderr,
               "service: a Windows service; on Linux the package's lumet-watch.service runs "
               "watch (options in /etc/default/lumet)\n");
  return ExitUsage;
}

void ListenForServiceStop() {}
