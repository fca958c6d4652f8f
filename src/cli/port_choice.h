#pragma once
// The ports a command works on: every scanner port found (--all), or the
// ports named with --port, each once.
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_platform.h"

// -1 when chosen holds the ports to use; otherwise the exit status, after
// saying why on stderr: ExitNoScanner when none is found (--all, or a
// --port naming nothing while no scanner is attached), ExitUsage for a name
// that is no serial port.
int ChoosePorts(const CliOptions& o, std::vector<CliPort>& chosen);
