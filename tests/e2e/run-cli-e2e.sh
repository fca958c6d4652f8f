#!/usr/bin/env bash
# lumet-cli.exe under Wine against two simulated scanners on COM ports: "list"
# names both, "download --all" saves both, each with the scanner's records.
#
#   tests/e2e/run-cli-e2e.sh
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

start_cli_test cli "$@"
fresh_wineserver "$work/wineserver.log"
trap 'detach_scanners; unplug_ports "$work/unplug.reg" >/dev/null 2>&1; stop_wineserver' EXIT
printf '3 usb\n5 bt\n' | plug_ports "$work/ports.reg" >>"$work/harness.log" 2>&1
attach_scanner 3 "$work" --serial KT52CLI03 --records 3
attach_scanner 5 "$work" --serial KT52CLI05 --records 2
out_dos='C:\lumet-cli-out'
out_unix=$WINEPREFIX/drive_c/lumet-cli-out
rm -rf "$out_unix"
mkdir -p "$out_unix"

failed=0
# Runs lumet-cli.exe with these arguments; its stdout (CR LF made LF) in $said, its status in $status.
cli() {
  local started; started=$(now)
  status=0
  said=$(cd "$work" && timeout "$wine_bound" "$wine" lumet-cli.exe "$@" 2>>"$work/cli.err" | tr -d '\r') || status=$?
  echo "    lumet-cli.exe $* -> exit $status in $(seconds_since "$started") s"
}
expect() {  # expect WHAT GOT WANTED
  if [ "$2" = "$3" ]; then return; fi
  echo "FAIL $1:"; echo "  got:    ${2//$'\n'/$'\n'          }"; echo "  wanted: ${3//$'\n'/$'\n'          }"
  failed=1
}

cli list
expect "list" "$status: $said" "0: COM3 usb framed KT52CLI03
COM5 bluetooth framed KT52CLI05"
cli list --no-query
expect "list --no-query" "$status: $said" "0: COM3 usb
COM5 bluetooth"
cli download --all --out "$out_dos"
today=$(date +%Y%m%d)
expect "download --all" "$status: $said" "0: COM3 KT52CLI03: Save Data Succeed!, 3 records in ${out_dos}\\KT52CLI03_${today}_001.txt
COM5 KT52CLI05: Save Data Succeed!, 2 records in ${out_dos}\\KT52CLI05_${today}_001.txt"
for serial in KT52CLI03 KT52CLI05; do
  records=3; [ $serial = KT52CLI05 ] && records=2
  wanted=$(printf '%s,2024/05/16,09:30:00,6900000000014\r\n%s,2024/05/16,09:30:37,6900000000021\r\n%s,2024/05/16,09:31:14,6900000000038\r\n' \
           $serial $serial $serial | head -n $records | od -An -c)
  got=$(od -An -c <"$out_unix/${serial}_${today}_001.txt" 2>/dev/null || true)
  expect "the file of $serial" "$got" "$wanted"
done

# The workbook: both scanners' records, read back as Excel would see them.
cli download --all --out "$out_dos" --xlsx "$out_dos\\count.xlsx"
expect "download --xlsx" "$status" "0"
got=$(/usr/bin/python3 "$root/tests/support/read_xlsx.py" "$out_unix/count.xlsx" 2>&1 | sed -n '1p;3p;7p' | cut -f1-4)
expect "the workbook" "$got" "sheet Scans frozen=A2 filter=A1:E6 bold=True
s:KT52CLI03	d:2024-05-16T09:30:00	s:6900000000014	s:COM3
s:KT52CLI05	d:2024-05-16T09:30:37	s:6900000000021	s:COM5"
# A plain scanner sending its records in one run, "END" inside five barcodes:
# the file is exact.
printf '3 usb\n4 usb\n5 bt\n' | plug_ports "$work/ports.reg" >>"$work/harness.log" 2>&1
attach_scanner 4 "$work" --serial KT52RUN01 --mode plain --piece-size all \
  --records-file tests/e2e/data/one_run_records.tsv
cli download --port COM4 --out "$out_dos" --name run
expect "download of a one-run plain scanner" "$status: $said" "0: COM4 KT52RUN01: Save Data Succeed!, 700 records in ${out_dos}\\run.txt"
cmp -s "$out_unix/run.txt" tests/e2e/data/one_run_expected.bin ||
  expect "the one-run file" "differs" "tests/e2e/data/one_run_expected.bin, byte for byte"

if [ $failed -eq 0 ]; then echo "PASS lumet-cli under Wine"; else echo "FAIL lumet-cli under Wine"; fi
exit $failed
