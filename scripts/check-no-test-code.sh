#!/usr/bin/env bash
# Fails when the program holds test code: the names of the test doubles and
# fixtures of tests/support/ must not appear among its strings (class names
# reach the executable through run-time type information).
#   scripts/check-no-test-code.sh build/windows/Lumet.exe
set -euo pipefail
program=${1:?usage: check-no-test-code.sh PROGRAM.exe}
[ -f "$program" ] || { echo "error: no $program" >&2; exit 1; }
command -v strings >/dev/null || { echo "error: strings (binutils) is not installed" >&2; exit 1; }
pattern='MemoryControls|Injected|Scripted|Simulated|PortDeviceRecord|PortRecord|RecordDevice|ScannerDesk|ScannerPortsScope|VirtualTime|SimProcess|ComFolder|ProgramState|GatedLink|Kt52Device|TempFolder|SysfsTree'
if found=$(strings -a "$program" | grep -E "$pattern"); then
  echo "error: $program holds test code:" >&2
  echo "$found" | sort -u | head -20 >&2
  exit 1
fi
echo "no test code in $program"
