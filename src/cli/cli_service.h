#pragma once
// The collection service: "lumet-cli service install" registers "Lumet
// collection" (LumetCollection), which runs "lumet-cli service run" with a
// watch's options, without a desktop, until stopped; each line the watch
// prints goes to the Windows Event Log and to lumet-service.log in its output
// folder; a stop request is the watch's SIGTERM. Windows only: elsewhere the
// systemd units do this, and the command says so.
#include <string>
#include <vector>

#include "cli/cli_options.h"

inline constexpr char ServiceName[] = "LumetCollection";
inline constexpr char ServiceDisplayName[] = "Lumet collection";
inline constexpr char ServiceLogName[] = "lumet-service.log";

int RunServiceCommand(const CliOptions& options);
// In the watch the service runs: its stop request becomes StopRequested
// (nothing happens in any other run).
void ListenForServiceStop();

// One argument as Windows' command-line parser (CommandLineToArgvW, the C
// runtime's) reads it back: quoted when it holds a blank or a quote or is
// empty, a quote and the backslashes before it escaped.
std::string QuoteArgument(const std::string& argument);
// The arguments, each quoted so, with a blank between them.
std::string QuotedArguments(const std::vector<std::string>& arguments);
// The service's command line: the program, "service run", and the arguments.
std::string ServiceCommandLine(const std::string& program, const std::vector<std::string>& arguments);
