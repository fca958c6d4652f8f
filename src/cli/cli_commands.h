#pragma once
// lumet-cli's commands over the core: list, download, watch, info, time get,
// time set and erase. Each prints its lines on stdout (one a scanner, or one
// an event) and gives the exit status.
#include "cli/cli_options.h"

int RunCli(const CliOptions& options);
