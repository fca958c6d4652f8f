# Shared by tests/e2e/run-e2e.sh and scripts/run-lumet.sh (sourced, not run):
# the Wine prefix, the builds, scanner ports in the registry and simulated
# scanners on ptys. Expects $build (Windows build folder), $native (native
# build folder) and WINEPREFIX to be set by the caller.

export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
enum_key='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum'
ports_class='{4D36E978-E325-11CE-BFC1-08002BE10318}'
spp='{00001101-0000-1000-8000-00805F9B34FB}'
# Every registry tree a scenario may add to; purged before and after each one.
test_roots=("USB\\VID_2F3C&PID_0A17" "BTHENUM" "{F12D3CF8-B11D-457E-8641-BE2AF2D6D204}" "VIRTUALSERIAL" "FTDIBUS")

# Every wait on Wine has a bound (seconds); a Wine that hangs fails the run.
wine_bound=120

now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# The Wine loader for $build's programs, in $wine. A 64-bit build runs through
# the 64-bit loader ($WINELOADER, else wine64), never through Debian's `wine`
# wrapper: once wine32 is installed the wrapper starts every program with the
# 32-bit loader, which a kernel without 32-bit emulation cannot execute. A
# 32-bit build needs that loader and takes the wrapper, which picks it.
choose_wine() {
  local loader
  if grep -qs '^CMAKE_CXX_COMPILER:.*i686-w64-mingw32' "$build/CMakeCache.txt"; then
    wine=$(command -v wine) || { echo "error: no wine for the 32-bit build (wine32 is not installed)" >&2; return 1; }
    return 0
  fi
  for loader in "${WINELOADER:-}" /usr/lib/wine/wine64 "$(command -v wine64)"; do
    if [ -n "$loader" ] && [ -x "$loader" ]; then
      wine=$loader
      export WINELOADER=$loader
      return 0
    fi
  done
  echo "error: no 64-bit Wine loader (/usr/lib/wine/wine64 or \$WINELOADER); scripts/install-deps.sh installs it" >&2
  return 1
}

# The tools a run needs, found on PATH; a missing one is an error, never a
# skipped tier.
require_tools() {
  local tool missing=()
  for tool in wineserver xvfb-run xauth timeout cmake "$@"; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  if ((${#missing[@]})); then
    echo "error: not installed: ${missing[*]} (scripts/install-deps.sh installs them)" >&2
    return 1
  fi
}

build_programs() {
  if [ ! -f "$build/build.ninja" ]; then
    cmake --preset windows -B "$build" >/dev/null
  fi
  cmake --build "$build" --target Lumet lumet_driver || return 1
  local program
  for program in "$build/Lumet.exe" "$build/tests/e2e/lumet_driver.exe"; do
    [ -f "$program" ] || { echo "error: $program was not built" >&2; return 1; }
  done
  if [ -z "${KT52SIM:-}" ]; then
    if ! { [ -f "$native/build.ninja" ] || cmake --preset native -B "$native" >/dev/null; } ||
       ! cmake --build "$native" --target help | grep -q '^kt52sim:'; then
      echo "error: no kt52sim target in $native" >&2
      return 1
    fi
    cmake --build "$native" --target kt52sim || { echo "error: kt52sim did not build" >&2; return 1; }
  fi
  [ -n "$(find_kt52sim)" ] || { echo "error: no kt52sim at ${KT52SIM:-$native/tools/kt52sim/kt52sim}" >&2; return 1; }
}

# The start of a lumet-cli.exe test script ($self, with its arguments):
# outside Xvfb, builds what it needs and runs the script again inside one;
# inside, picks the Wine loader, finds kt52sim ($kt52sim) and makes the
# script's folder $work (e2e-work/NAME) holding lumet-cli.exe, the prefix ready.
start_cli_test() {  # NAME ARGS...
  local name=$1; shift
  if [ -z "${LUMET_E2E_IN_XVFB:-}" ]; then
    require_tools
    build_programs
    cmake --build "$build" --target lumet-cli >/dev/null
    exec xvfb-run -a -s "-screen 0 1024x768x24" env LUMET_E2E_IN_XVFB=1 "$self" "$@"
  fi
  choose_wine || exit 1
  kt52sim=$(find_kt52sim)
  work=$build/e2e-work/$name
  rm -rf "$work"
  mkdir -p "$work"
  cp "$build/lumet-cli.exe" "$work/"
  prepare_prefix
}

# The Wine install a prefix is made with: installing another (wine32 beside
# wine64, an upgrade) breaks prefixes made before ("could not load kernel32.dll").
wine_install() {
  "$wine" --version 2>&1
  dpkg-query -W -f='${Package}:${Architecture} ${Version} ${db:Status-Status}\n' 'wine*' 'libwine*' 2>/dev/null | sort
}

# The prefix is made once per build folder and Wine install (.lumet-wine holds
# the install, .lumet-ready says the prefix is complete); "Managed"="N" spares
# the 2 s that every box or dialog close otherwise stalls without a window manager.
prepare_prefix() {
  if [ -f "$WINEPREFIX/.lumet-ready" ]; then
    [ "$(cat "$WINEPREFIX/.lumet-wine" 2>/dev/null)" = "$(wine_install)" ] && return
    echo "the Wine install changed since $WINEPREFIX was made: making it anew"
  fi
  local started; started=$(now)
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX" && wine_install >"$WINEPREFIX/.lumet-wine"
  mkdir -p "$build"
  timeout "$wine_bound" "$wine" wineboot.exe -i >/dev/null 2>&1 || { echo "error: wineboot failed or hung" >&2; return 1; }
  timeout "$wine_bound" wineserver -w || { echo "error: the wineserver did not end after wineboot" >&2; return 1; }
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' \
    > "$WINEPREFIX/lumet-setup.reg"
  timeout "$wine_bound" "$wine" regedit /S "$WINEPREFIX/lumet-setup.reg" >/dev/null 2>&1 &&
    timeout "$wine_bound" wineserver -w || { echo "error: the prefix could not be set up" >&2; return 1; }
  touch "$WINEPREFIX/.lumet-ready"
  echo "wine prefix ready in $(seconds_since "$started") s: $WINEPREFIX"
}

# The Excel ODBC driver's stand-in (the native build's excel_driver_shim.so,
# over Debian's SQLite ODBC driver) for one scenario: listed in Wine's registry,
# where SQLGetInstalledDriversW looks, and in an odbcinst.ini of the scenario's
# own (ODBCSYSINI), through which Wine's odbc32 reaches the host's unixODBC.
excel_driver='Microsoft Excel Driver (*.xls, *.xlsx, *.xlsm, *.xlsb)'
odbc_drivers_key='HKEY_LOCAL_MACHINE\Software\ODBC\ODBCINST.INI\ODBC Drivers'
# reg.exe with /reg:64: started through the 32-bit loader, reg.exe would be the
# 32-bit one, whose HKLM\Software is the 32-bit view that a 64-bit program does not read.
register_excel_driver() {
  local work=$1 shim=$native/tests/excel_driver_shim.so
  cmake --build "$native" --target lumet_excel_shim >/dev/null || true
  [ -f "$shim" ] || { echo "no Excel driver stand-in at $shim (native target lumet_excel_shim)" >&2; return 1; }
  mkdir -p "$work/odbc"
  printf '[%s]\nDriver = %s\n' "$excel_driver" "$shim" >"$work/odbc/odbcinst.ini"
  export ODBCSYSINI=$work/odbc
  timeout "$wine_bound" "$wine" reg add "$odbc_drivers_key" /v "$excel_driver" /t REG_SZ /d Installed /f /reg:64
}

unregister_excel_driver() {
  unset ODBCSYSINI
  timeout "$wine_bound" "$wine" reg delete "$odbc_drivers_key" /v "$excel_driver" /f /reg:64 || true
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
  "$kt52sim" --link "$link" "$@" >"$work/sim-com$number.log" 2>&1 &
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


# The simulator: $KT52SIM, else the native build's; empty when there is none.
find_kt52sim() {
  if [ -n "${KT52SIM:-}" ]; then echo "$KT52SIM"
  elif [ -x "$native/tools/kt52sim/kt52sim" ]; then echo "$native/tools/kt52sim/kt52sim"
  fi
}

# A wineserver of our own for the next program, started inside the current X
# display. A pty hang-up makes the wineserver dump its object table on stderr,
# so that goes to a log.
fresh_wineserver() {
  stop_wineserver
  wineserver -p 2>>"$1"
}

stop_wineserver() {
  timeout "$wine_bound" wineserver -k 2>/dev/null || true
  timeout "$wine_bound" wineserver -w 2>/dev/null || true
}

# Imports a .reg file that first unplugs every port a run may have left and
# then adds the given ports ("NUMBER KIND" words, one port a line on stdin).
plug_ports() {
  local reg=$1 number kind
  { printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    purge_lines
    while read -r number kind; do
      [ -n "$number" ] || continue
      device_keys "$number" "$kind" || return 1
    done
  } >"$reg" || return 1
  timeout "$wine_bound" "$wine" regedit /S "$reg"
}

unplug_ports() {
  { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; purge_lines; } >"$1"
  timeout "$wine_bound" "$wine" regedit /S "$1" || true
}

# Runs a driver command (in folder $1) and serves its screenshot requests
# ("SHOT name x y w h"): a root-window capture cropped to the program's
# windows, saved as $2/<prefix>name.png. The driver's lines go to $1/driver.log;
# its failures are echoed. Returns the driver's exit code.
run_driver() {
  local work=$1 shots=$2 prefix=$3 line shot; shift 3
  rm -f "$work/driver.out"
  mkfifo "$work/driver.out"
  (cd "$work" && exec timeout -k 5 300 "$wine" "$@") >"$work/driver.out" 2>>"$work/driver.err" &
  local driver=$!
  while IFS= read -r line; do
    line=${line%$'\r'}
    echo "$line" >>"$work/driver.log"
    if [[ $line =~ ^SHOT\ ([A-Za-z0-9_.-]+)\ (-?[0-9]+)\ (-?[0-9]+)\ ([0-9]+)\ ([0-9]+)$ ]]; then
      shot=$shots/$prefix${BASH_REMATCH[1]}.png
      local crop=()
      [ "${BASH_REMATCH[4]}" -gt 0 ] && crop=(-crop "${BASH_REMATCH[4]}x${BASH_REMATCH[5]}+${BASH_REMATCH[2]}+${BASH_REMATCH[3]}" +repage)
      import -display "$DISPLAY" -window root "${crop[@]}" "$shot" 2>>"$work/driver.err" || true
      echo "    screenshot $shot"
      : >"$work/shot_${BASH_REMATCH[1]}.done"
    elif [[ $line =~ ^SHEET\ ([0-9]+)\ ([A-Za-z0-9_.-]+)$ ]]; then
      sqlite3 -header -separator '|' "$work/${BASH_REMATCH[2]}" 'SELECT * FROM KT52' \
        >"$work/sheet_${BASH_REMATCH[1]}.txt" 2>&1 || true
      : >"$work/sheet_${BASH_REMATCH[1]}.done"
    elif [[ $line == FAIL* || $line == "bad scenario"* ]]; then
      echo "    $line"
    fi
  done <"$work/driver.out"
  wait "$driver"
}
