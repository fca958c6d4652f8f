#!/usr/bin/env bash
# The collection service under Wine: "lumet-cli.exe service install --out DIR"
# registers and starts "Lumet collection" (sc query: RUNNING); a simulated
# scanner on COM3 is downloaded into DIR; "sc stop" stops it cleanly, its log
# file ending with the stop line; "service uninstall" removes it. Wine ends
# a service when no other Wine program runs, so one is kept running meanwhile.
#
#   tests/e2e/run-service-e2e.sh
#
#   LUMET_E2E_BUILD   the Windows build folder (default build/windows)
#   LUMET_E2E_NATIVE  the native build folder that provides kt52sim (default build/native)
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/../.."
root=$PWD
build=$(realpath -m "${LUMET_E2E_BUILD:-build/windows}")
native=$(realpath -m "${LUMET_E2E_NATIVE:-build/native}")
export WINEPREFIX=$build/wineprefix
# shellcheck source=wine-lib.sh
source "$root/tests/e2e/wine-lib.sh"

start_cli_test service "$@"
fresh_wineserver "$work/wineserver.log"
out_dos='C:\lumet-service-out'
out_unix=$WINEPREFIX/drive_c/lumet-service-out
rm -rf "$out_unix"
mkdir -p "$out_unix"
keeper=""
cleanup() {
  timeout 60 "$wine" sc stop LumetCollection >/dev/null 2>&1 || true
  timeout 60 "$wine" sc delete LumetCollection >/dev/null 2>&1 || true
  exec 9>&- || true
  [ -z "$keeper" ] || kill "$keeper" 2>/dev/null || true
  detach_scanners; unplug_ports "$work/unplug.reg" >/dev/null 2>&1; stop_wineserver
}
trap cleanup EXIT
# The Wine program kept alive: cmd.exe reading a FIFO held open here, which
# ends it when closed.
mkfifo "$work/keep"
"$wine" cmd.exe <"$work/keep" >/dev/null 2>&1 &
keeper=$!
exec 9>"$work/keep"

failed=0
check() {  # check WHAT COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}
state() { timeout 60 "$wine" sc query LumetCollection 2>/dev/null | tr -d '\r' | awk '/STATE/ { print $4 }'; }
# Waits up to $2 seconds for the command $3... to succeed.
within() {
  local what=$1 bound=$2 started; shift 2; started=$(now)
  for _ in $(seq $((bound * 4))); do
    if "$@"; then echo "ok   $what (after $(seconds_since "$started") s)"; return 0; fi
    sleep 0.25
  done
  echo "FAIL $what (not within $bound s)"; failed=1
}
is_state() { [ "$(state)" = "$1" ]; }
log_has() { grep -qa "$1" "$out_unix/lumet-service.log" 2>/dev/null; }
today=$(date +%Y%m%d)
file=$out_unix/KT52SVC03_${today}_001.txt
has_records() { [ -f "$file" ] && [ "$(tr -d '\r' <"$file" | wc -l)" = 3 ]; }

status=0
said=$(cd "$work" && timeout "$wine_bound" "$wine" lumet-cli.exe service install --out "$out_dos" --erase 2>&1 | tr -d '\r') || status=$?
echo "    lumet-cli.exe service install --out $out_dos --erase -> exit $status: $said"
check "service install exits 0" test "$status" = 0
within "sc query shows it RUNNING" 20 is_state RUNNING

printf '3 usb\n' | plug_ports "$work/ports.reg" >>"$work/harness.log" 2>&1
attach_scanner 3 "$work" --serial KT52SVC03 --records 3
within "the scanner is downloaded into the folder" 30 has_records
within "its line is in the service's log" 10 log_has "KT52SVC03: Save Data Succeed!"

timeout 60 "$wine" sc stop LumetCollection >/dev/null 2>&1 || true
within "sc stop stops it" 30 is_state STOPPED
check "the log ends with the stop line" bash -c 'tail -n 1 "$1" | grep -qa "Lumet collection stopped (exit 0)"' _ "$out_unix/lumet-service.log"

status=0
said=$(cd "$work" && timeout "$wine_bound" "$wine" lumet-cli.exe service uninstall 2>&1 | tr -d '\r') || status=$?
echo "    lumet-cli.exe service uninstall -> exit $status: $said"
check "service uninstall exits 0" test "$status" = 0
check "the service is gone" test -z "$(state)"
echo "    the service's log:"; sed 's/^/      /' "$out_unix/lumet-service.log" 2>/dev/null || true

if [ $failed -eq 0 ]; then echo "PASS lumet-cli service under Wine"; else echo "FAIL lumet-cli service under Wine"; fi
exit $failed
