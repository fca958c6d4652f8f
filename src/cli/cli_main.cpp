// lumet-cli: KT52 batch barcode scanners from the command line, for
// unattended collection; the same core as the dialog, through a console
// front end.
#include <csignal>
#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_service.h"
#include "cli/console_front_end.h"

namespace {
void RequestStop(int) { StopRequested = true; }
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, &RequestStop);
  std::signal(SIGTERM, &RequestStop);
  CliOptions options;
  std::string message;
  bool toStdout = false;
  const int stop = ParseCli(argc, argv, options, message, toStdout);
  if (stop >= 0) {
    std::fputs(message.c_str(), toStdout ? stdout : stderr);
    std::fputc('\n', toStdout ? stdout : stderr);
    return stop;
  }
  if (options.service != ServiceAction::None) return RunServiceCommand(options);
  ListenForServiceStop();
  return RunCli(options);
}
