#!/usr/bin/env bash
# scripts/include-graph.sh over made-up src/ trees: one row a tree, with the
# exit status and a piece of the output it must give.
#   include_graph_test.sh PATH/TO/include-graph.sh
set -uo pipefail
check=$(realpath "${1:?usage: include_graph_test.sh include-graph.sh}")
work=$(mktemp -d "${TMPDIR:-/tmp}/include-graph-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

# status | expected output | file=include line[; file=include line]
rows=(
  '1|src/protocol/exchange.cpp:1: #include "ui/main_dialog.h": goes up from protocol (floor 1) to ui (floor 3)|protocol/exchange.cpp=#include "ui/main_dialog.h"'
  '1|goes up from transport (floor 0) to protocol (floor 1)|common/a.cpp=#include "transport/b.h"; transport/b.cpp=#include "protocol/exchange.h"'
  '1|src/protocol/download.cpp:3: #include "collect/record_format.h": goes up from protocol (floor 1) to collect (floor 2)|protocol/download.cpp=#include <string>; protocol/download.cpp=#include "protocol/exchange.h"; protocol/download.cpp=#include "collect/record_format.h"'
  '1|goes up from clock (floor 2) to cli (floor 3)|clock/time_text.cpp=#include "cli/cli_platform.h"'
  '1|goes up from export (floor 2) to kt52sim, no floor of src/|export/store.cpp=#include "kt52sim/kt52_device.h"'
  '1|src/ui/list.cpp:1: #include "cli/cli_options.h": the front ends ui and cli never include each other|ui/list.cpp=#include "cli/cli_options.h"'
  '1|the front ends ui and cli never include each other|cli/commands.cpp=#include "ui/device_list.h"'
  '1|src/common/pause.cpp:1: #include <windows.h>: a Windows header outside a *_win32 file|common/pause.cpp=#include <windows.h>'
  '1|#include <Windows.h>: a Windows header outside a *_win32 file|export/odbc.h=#include <Windows.h>'
  '1|#include <commctrl.h>: a Windows header outside a *_win32 file|ui/controls.cpp=#include <commctrl.h>'
  '1|#include "ui/window_win32.h": a Windows backend header in a portable file|ui/window_win32.h=#include <windows.h>; ui/dialog.cpp=#include "ui/window_win32.h"'
  '0|collect -> export 1 (sideways)|collect/job.cpp=#include "export/export_store.h"'
  '0|none goes up a floor|ui/dialog.cpp=#include "protocol/exchange.h"; cli/main.cpp=#include "settings/settings.h"; clock/clock.cpp=#include "transport/serial_link.h"'
  '0|Windows headers only in *_win32 files|common/pause_win32.cpp=#include <windows.h>; ui/window_win32.h=#include <commctrl.h>; ui/window_win32.cpp=#include "ui/window_win32.h"; ui/lumet.rc=#include <windows.h>'
  '0|none goes up a floor|common/pause.cpp=#include <string>; common/pause_posix.cpp=#include "pause.h"'
)

failed=0
for i in "${!rows[@]}"; do
  IFS='|' read -r want expected files <<<"${rows[$i]}"
  tree="$work/$i/src"
  IFS=';' read -ra entries <<<"$files"
  for entry in "${entries[@]}"; do
    entry=${entry# }
    path=${entry%%=*}
    mkdir -p "$tree/$(dirname "$path")"
    printf '%s\n' "${entry#*=}" >>"$tree/$path"
  done
  output=$(cd "$work/$i" && bash "$check" src 2>&1)
  status=$?
  if [ "$status" -ne "$want" ] || [[ "$output" != *"$expected"* ]]; then
    printf 'row %d (%s): exit %d, wanted %d and "%s"; output:\n%s\n' "$i" "$files" "$status" "$want" "$expected" "$output"
    failed=1
  fi
done
[ $failed -eq 0 ] && echo "include_graph_test: ${#rows[@]} rows passed"
exit $failed
