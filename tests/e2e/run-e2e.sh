#!/usr/bin/env bash
# The end-to-end tier: the real Lumet.exe under Wine, worked through its window
# by lumet_driver.exe, against simulated scanners (kt52sim) on pseudo-terminals.
#
#   tests/e2e/run-e2e.sh [SCENARIO...]        all of tests/e2e/scenarios/*.txt by default
#
#   LUMET_E2E_BUILD   the Windows build folder (default build/windows); the Wine
#                     prefix, work folders and screenshots live inside it
#   LUMET_E2E_NATIVE  the native build folder that provides kt52sim (default build/native)
#
# Scenarios run one after another (Wine does not like parallel runs), each in a
# fresh wineserver, all inside one Xvfb. A scenario's "@" lines set it up:
#   @scanner COM3 usb [kt52sim options]   register a scanner port and attach a simulator
#   @device COM4 usb                      register a port with nothing attached
#   @copy FILE                            copy FILE (beside the scenario) next to Lumet.exe
#   @file-utf16 NAME TEXT                 written by the driver before it starts Lumet
#   @excel-driver                         install the Excel ODBC driver's stand-in
# Kinds: usb, bt (SPP, local), bt-paired (SPP, "&0&000000000000"), bt-other (SPP
# without either), enumerator, virtual (own id foreign, HardwareDevinstpath a
# scanner's), other (an FTDI port).
set -euo pipefail
self=$(realpath "$0")
args=()  # scenario files named from the caller's folder, before the cd below
for arg in "$@"; do
  if [ -f "$arg" ]; then args+=("$(realpath "$arg")"); else args+=("$arg"); fi
done
set -- "${args[@]}"
cd "$(dirname "$self")/../.."
root=$PWD
build=$(realpath -m "${LUMET_E2E_BUILD:-build/windows}")
native=$(realpath -m "${LUMET_E2E_NATIVE:-build/native}")
scenario_dir=$root/tests/e2e/scenarios
export WINEPREFIX=$build/wineprefix
# shellcheck source=wine-lib.sh
source "$root/tests/e2e/wine-lib.sh"

run_scenario() {
  local file=$1 name work started rc=0
  name=$(basename "$file" .txt)
  work=$build/e2e-work/$name
  started=$(now)
  rm -rf "$work"
  mkdir -p "$work"
  cp "$build/Lumet.exe" "$build/tests/e2e/lumet_driver.exe" "$work/"
  cp "$file" "$work/scenario.txt"
  fresh_wineserver "$work/wineserver.log"

  local ports=() scanners=() words number excel=""
  while read -r -a words; do
    case ${words[0]} in
      @scanner|@device)
        number=$(com_number "${words[1]}") || { rc=1; continue; }
        ports+=("$number ${words[2]:-usb}")
        [ "${words[0]}" = @scanner ] && scanners+=("$number ${words[*]:3}") ;;
      @copy) cp "$(dirname "$file")/${words[1]}" "$work/" || rc=1 ;;
      @file-utf16) ;;
      @excel-driver) excel=1 ;;
      *) echo "    unknown setup line: ${words[*]}"; rc=1 ;;
    esac
  done < <(grep -E '^[[:space:]]*@' "$file" | tr -d '\r')
  if [ $rc -eq 0 ]; then
    printf '%s\n' "${ports[@]}" | plug_ports "$work/ports.reg" >>"$work/driver.err" 2>&1 || rc=1
  fi
  local scanner
  for scanner in "${scanners[@]}"; do
    [ $rc -eq 0 ] || break
    read -r -a words <<<"$scanner"
    attach_scanner "${words[0]}" "$work" "${words[@]:1}" || rc=1
  done
  if [ $rc -eq 0 ] && [ -n "$excel" ]; then
    register_excel_driver "$work" >>"$work/driver.err" 2>&1 || rc=1
  fi
  if [ $rc -eq 0 ]; then
    run_driver "$work" "$shots" "$name-" lumet_driver.exe Lumet.exe scenario.txt || rc=$?
  fi

  detach_scanners
  [ -n "$excel" ] && unregister_excel_driver "$work" >>"$work/driver.err" 2>&1
  unplug_ports "$work/unplug.reg" >>"$work/driver.err" 2>&1
  stop_wineserver

  local took; took=$(seconds_since "$started")
  if [ $rc -eq 0 ]; then
    echo "PASS $name (${took} s)"
  else
    echo "FAIL $name (${took} s, exit $rc): $work/driver.log"
    failed+=("$name")
  fi
}

if [ -z "${LUMET_E2E_IN_XVFB:-}" ]; then
  require_tools import
  build_programs
  exec xvfb-run -a -s "-screen 0 1024x768x24" env LUMET_E2E_IN_XVFB=1 "$self" "$@"
fi

choose_wine || exit 1
kt52sim=$(find_kt52sim)
[ -n "$kt52sim" ] || { echo "error: kt52sim is missing" >&2; exit 1; }
shots=$build/e2e-shots
mkdir -p "$shots"
started_all=$(now)
prepare_prefix
failed=()
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=("$scenario_dir"/*.txt)
for scenario in "${scenarios[@]}"; do
  [ -f "$scenario" ] || scenario=$scenario_dir/$scenario.txt
  [ -f "$scenario" ] || { echo "error: no scenario $scenario" >&2; exit 1; }
  run_scenario "$scenario"
done
echo "e2e: $(( ${#scenarios[@]} - ${#failed[@]} )) of ${#scenarios[@]} scenarios passed in $(seconds_since "$started_all") s; screenshots in $shots"
[ ${#failed[@]} -eq 0 ]
