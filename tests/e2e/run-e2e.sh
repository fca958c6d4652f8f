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
# Kinds: usb, bt (SPP, local), bt-paired (SPP, "&0&000000000000"), bt-other (SPP
# without either), enumerator, virtual (own id foreign, HardwareDevinstpath a
# scanner's), other (an FTDI port).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$(realpath -m "${LUMET_E2E_BUILD:-build/windows}")
native=$(realpath -m "${LUMET_E2E_NATIVE:-build/native}")
scenario_dir=$root/tests/e2e/scenarios

export WINEPREFIX=$build/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
enum_key='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum'
ports_class='{4D36E978-E325-11CE-BFC1-08002BE10318}'
spp='{00001101-0000-1000-8000-00805F9B34FB}'
# Every registry tree a scenario may add to; purged before and after each one.
test_roots=("USB\\VID_2F3C&PID_0A17" "BTHENUM" "{F12D3CF8-B11D-457E-8641-BE2AF2D6D204}" "VIRTUALSERIAL" "FTDIBUS")

now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

build_programs() {
  if [ ! -f "$build/build.ninja" ]; then
    cmake --preset windows -B "$build" >/dev/null
  fi
  cmake --build "$build" --target Lumet lumet_driver
  if [ -z "${KT52SIM:-}" ]; then
    if { [ -f "$native/build.ninja" ] || cmake --preset native -B "$native" >/dev/null; } &&
       cmake --build "$native" --target help | grep -q '^kt52sim:'; then
      cmake --build "$native" --target kt52sim || echo "warning: kt52sim did not build" >&2
    else
      echo "warning: no kt52sim target in $native" >&2
    fi
  fi
}

# The prefix is made once per build folder; "Managed"="N" spares the 2 s that
# every box or dialog close otherwise stalls without a window manager.
prepare_prefix() {
  [ -f "$WINEPREFIX/.lumet-e2e-ready" ] && return
  local started; started=$(now)
  rm -rf "$WINEPREFIX"
  mkdir -p "$build"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' \
    > "$build/e2e-setup.reg"
  wine regedit /S "$build/e2e-setup.reg" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.lumet-e2e-ready"
  echo "wine prefix ready in $(seconds_since "$started") s: $WINEPREFIX"
}

# Registry lines for one port: its instance key under Enum and its device
# parameters (the key SetupDiOpenDevRegKey opens).
device_keys() {
  local number=$1 kind=$2 instance hardware=""
  case $kind in
    usb) instance="USB\\VID_2F3C&PID_0A17\\KT52E2E$number" ;;
    bt) instance="BTHENUM\\${spp}_LOCALMFG&0000\\7&2A1B3C4D&0&0000$number" ;;
    bt-paired) instance="BTHENUM\\${spp}_VID&0001000A_PID&0001\\7&1F2E3D4C&0&000000000000_0000$number" ;;
    bt-other) instance="BTHENUM\\${spp}_VID&0001000A_PID&0001\\7&1F2E3D4C&0&00190E12$number" ;;
    enumerator) instance="{F12D3CF8-B11D-457E-8641-BE2AF2D6D204}\\KT52PORT\\$number" ;;
    virtual) instance="VIRTUALSERIAL\\PORT\\$number"
             hardware="USB\\VID_2F3C&PID_0A17\\KT52UNDER$number" ;;
    other) instance="FTDIBUS\\VID_0403+PID_6001+A1B2C3A\\$number" ;;
    *) echo "unknown port kind '$kind'" >&2; return 1 ;;
  esac
  printf '[%s\\%s]\r\n"ClassGUID"="%s"\r\n"Class"="Ports"\r\n"FriendlyName"="e2e %s (COM%s)"\r\n\r\n' \
    "$enum_key" "$instance" "$ports_class" "$kind" "$number"
  printf '[%s\\%s\\Device Parameters]\r\n"PortName"="COM%s"\r\n' "$enum_key" "$instance" "$number"
  [ -n "$hardware" ] && printf '"HardwareDevinstpath"="%s"\r\n' "${hardware//\\/\\\\}"
  printf '\r\n'
}

purge_lines() {
  local key
  for key in "${test_roots[@]}"; do printf '[-%s\\%s]\r\n\r\n' "$enum_key" "$key"; done
}

com_number() {  # COM12 -> 12
  local name=${1^^}
  [[ $name =~ ^COM([0-9]+)$ ]] || { echo "bad port '$1' (COM<n> expected)" >&2; return 1; }
  echo "${BASH_REMATCH[1]}"
}

sim_pids=()
sim_links=()

# A simulated scanner on a pty, linked as the port's DOS device.
attach_scanner() {
  local number=$1 work=$2; shift 2
  local link=$WINEPREFIX/dosdevices/com$number
  rm -f "$link"
  if [ -n "$kt52sim" ]; then
    "$kt52sim" --link "$link" "$@" >"$work/sim-com$number.log" 2>&1 &
  else
    socat "pty,raw,echo=0,link=$link" "pty,raw,echo=0" 2>"$work/sim-com$number.log" &
  fi
  sim_pids+=($!)
  sim_links+=("$link")
  local tries
  for tries in $(seq 100); do [ -e "$link" ] && return 0; sleep 0.05; done
  echo "the simulator for COM$number made no link (see $work/sim-com$number.log)" >&2
  return 1
}

detach_scanners() {
  local pid link
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${sim_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  for link in "${sim_links[@]}"; do rm -f "$link"; done
  sim_pids=()
  sim_links=()
}

# Runs the driver and serves its screenshot requests ("SHOT name x y w h").
run_driver() {
  local name=$1 work=$2 line shot
  mkfifo "$work/driver.out"
  (cd "$work" && exec timeout -k 5 300 wine lumet_driver.exe Lumet.exe scenario.txt) \
    >"$work/driver.out" 2>"$work/driver.err" &
  local driver=$!
  while IFS= read -r line; do
    line=${line%$'\r'}
    echo "$line" >>"$work/driver.log"
    if [[ $line =~ ^SHOT\ ([A-Za-z0-9_.-]+)\ (-?[0-9]+)\ (-?[0-9]+)\ ([0-9]+)\ ([0-9]+)$ ]]; then
      shot=$shots/$name-${BASH_REMATCH[1]}.png
      local crop=()
      [ "${BASH_REMATCH[4]}" -gt 0 ] && crop=(-crop "${BASH_REMATCH[4]}x${BASH_REMATCH[5]}+${BASH_REMATCH[2]}+${BASH_REMATCH[3]}" +repage)
      /usr/bin/import -display "$DISPLAY" -window root "${crop[@]}" "$shot" 2>>"$work/driver.err" || true
      echo "    screenshot $shot"
      : >"$work/shot_${BASH_REMATCH[1]}.done"
    elif [[ $line == FAIL* || $line == "bad scenario"* ]]; then
      echo "    $line"
    fi
  done <"$work/driver.out"
  wait "$driver"
}

run_scenario() {
  local file=$1 name work started rc=0
  name=$(basename "$file" .txt)
  work=$build/e2e-work/$name
  started=$(now)
  rm -rf "$work"
  mkdir -p "$work"
  cp "$build/Lumet.exe" "$build/tests/e2e/lumet_driver.exe" "$work/"
  cp "$file" "$work/scenario.txt"

  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  # A pty hang-up makes the wineserver dump its object table on stderr.
  wineserver -p 2>>"$work/wineserver.log"

  local reg=$work/ports.reg scanners=() words number
  printf 'Windows Registry Editor Version 5.00\r\n\r\n' >"$reg"
  purge_lines >>"$reg"
  while read -r -a words; do
    case ${words[0]} in
      @scanner|@device)
        number=$(com_number "${words[1]}") && device_keys "$number" "${words[2]:-usb}" >>"$reg" || rc=1
        [ "${words[0]}" = @scanner ] && scanners+=("$number ${words[*]:3}") ;;
      @copy) cp "$(dirname "$file")/${words[1]}" "$work/" || rc=1 ;;
      @*) echo "    unknown setup line: ${words[*]}"; rc=1 ;;
    esac
  done < <(grep -E '^[[:space:]]*@' "$file" | tr -d '\r')
  if [ $rc -eq 0 ]; then
    wine regedit /S "$reg" >>"$work/driver.err" 2>&1 || rc=1
    local scanner
    for scanner in "${scanners[@]}"; do
      read -r -a words <<<"$scanner"
      attach_scanner "${words[0]}" "$work" "${words[@]:1}" || rc=1
    done
  fi
  if [ $rc -eq 0 ]; then
    run_driver "$name" "$work" || rc=$?
  fi

  detach_scanners
  { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; purge_lines; } >"$work/unplug.reg"
  wine regedit /S "$work/unplug.reg" >>"$work/driver.err" 2>&1 || true
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true

  local took; took=$(seconds_since "$started")
  if [ $rc -eq 0 ]; then
    echo "PASS $name (${took} s)"
  else
    echo "FAIL $name (${took} s, exit $rc): $work/driver.log"
    failed+=("$name")
  fi
}

if [ -z "${LUMET_E2E_IN_XVFB:-}" ]; then
  build_programs
  exec xvfb-run -a -s "-screen 0 1024x768x24" env LUMET_E2E_IN_XVFB=1 "$0" "$@"
fi

kt52sim=${KT52SIM:-}
if [ -z "$kt52sim" ] && [ -x "$native/tools/kt52sim/kt52sim" ]; then kt52sim=$native/tools/kt52sim/kt52sim; fi
[ -n "$kt52sim" ] || echo "kt52sim not built: scanners are bare ptys (socat) that answer nothing"

shots=$build/e2e-shots
mkdir -p "$shots"
started_all=$(now)
prepare_prefix
failed=()
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=("$scenario_dir"/*.txt)
for scenario in "${scenarios[@]}"; do
  [ -f "$scenario" ] || scenario=$scenario_dir/$scenario.txt
  run_scenario "$scenario"
done
echo "e2e: $(( ${#scenarios[@]} - ${#failed[@]} )) of ${#scenarios[@]} scenarios passed in $(seconds_since "$started_all") s; screenshots in $shots"
[ ${#failed[@]} -eq 0 ]
