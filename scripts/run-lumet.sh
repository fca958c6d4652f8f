#!/usr/bin/env bash
# Runs Lumet here, on a fresh Debian machine too: installs what it needs, builds
# Lumet.exe and the KT52 simulator, starts a simulated scanner holding sample
# barcodes, registers it as a scanner on COM3 of a private Wine prefix and
# opens Lumet on your display ($DISPLAY). Without a display, Lumet runs under
# Xvfb and does what a user would: opens COM3, clicks "Get Barcodes", and the
# script prints the file written (its path and content) and the path of a
# screenshot with the barcodes in the window, then closes Lumet again.
#
#   LUMET_BUILD   Windows build folder (default build/windows; the prefix lives in it)
#   LUMET_NATIVE  native build folder for kt52sim (default build/native)
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."
root=$PWD
build=$(realpath -m "${LUMET_BUILD:-build/windows}")
native=$(realpath -m "${LUMET_NATIVE:-build/native}")
export WINEPREFIX=$build/run-wineprefix
# shellcheck source=../tests/e2e/wine-lib.sh
source "$root/tests/e2e/wine-lib.sh"

if [ -z "${LUMET_RUN_MODE:-}" ]; then
  bash scripts/install-deps.sh
  require_tools import
  build_programs
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" env LUMET_RUN_MODE=headless "$self"
  fi
  export LUMET_RUN_MODE=display
fi

choose_wine || exit 1
kt52sim=$(find_kt52sim)
run=$build/run-lumet
mkdir -p "$run"
cp "$build/Lumet.exe" "$run/"  # Config.ini stays beside it from one run to the next
prepare_prefix
fresh_wineserver "$run/wineserver.log"
cleanup() {
  detach_scanners
  unplug_ports "$run/unplug.reg" >/dev/null 2>&1
  stop_wineserver
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cat >"$run/sample-barcodes.txt" <<'BARCODES'
2024/05/16,08:02:11	4006381333931
2024/05/16,08:02:48	5901234123457
2024/05/16,08:03:30	9780201379624
2024/05/16,11:45:02	PN-20931-A
2024/05/16,11:45:40	036000291452
2024/05/17,09:12:05	4012345678901
2024/05/17,09:12:31	PN-77410-C
2024/05/17,09:13:10	8712345678906
BARCODES
echo "3 usb" | plug_ports "$run/ports.reg" >/dev/null 2>&1
attach_scanner 3 "$run" --serial KT5200001 --records-file "$run/sample-barcodes.txt"
echo "a simulated KT52 (serial KT5200001, 8 barcodes) is on COM3; its log: $run/sim-com3.log"

if [ "$LUMET_RUN_MODE" = display ]; then
  echo "starting Lumet on $DISPLAY; close its window to stop"
  # In the background, so that Ctrl-C reaches the trap at once and the
  # clean-up (which stops the wineserver) ends Lumet too.
  (cd "$run" && exec "$wine" Lumet.exe) &
  wait $! || true
  exit 0
fi

cp "$build/tests/e2e/lumet_driver.exe" "$run/"
cat >"$run/download.txt" <<'STEPS'
timeout 30000
expect-combo 1004 "COM3"
click 1005
expect-enabled 1006 1
click 1001
expect-box "Save Data Succeed!Barcodes in:\r\n*" "Information"
answer OK
expect-enabled 1001 1
shot lumet
close
expect-exit 2
STEPS
: >"$run/driver.log"
touch "$run/.download-started"
if ! run_driver "$run" "$run" "" lumet_driver.exe Lumet.exe download.txt >/dev/null; then
  echo "the download under Xvfb failed; see $run/driver.log and $run/failure.png" >&2
  exit 1
fi
written=$(find "$run" -maxdepth 1 -type f \( -name '*.txt' -o -name '*.csv' \) -newer "$run/.download-started" \
          ! -name download.txt ! -name driver.log | head -n 1)
[ -n "$written" ] || { echo "Lumet reported success but wrote no file in $run" >&2; exit 1; }
echo "no display: Lumet ran under Xvfb, opened COM3 and clicked \"Get Barcodes\""
echo "file written: $written"
echo "----"
tr -d '\r' <"$written"
echo "----"
echo "screenshot of its window with the barcodes: $run/lumet.png"
