#!/usr/bin/env bash
# The 64-bit MSI under Wine, in a prefix of its own made afresh:
#   msiexec /i /qn installs Lumet.exe, lumet-cli.exe and README.txt into
#   Program Files\Lumet, puts that folder on the system PATH, and
#   lumet-cli.exe --version there prints the version; with the folder made
#   read-only (a read-only bind mount, which stops root too), Lumet.exe starts
#   and closes and its Config.ini lands in %APPDATA%\Lumet, the output folder
#   being Documents\Lumet; a higher version upgrades it (one product
#   registered), a lower one is refused; msiexec /x leaves no file, key,
#   PATH entry, shortcut or service of ours, and the user's scan files stay.
#
#   tests/packaging/test-msi.sh DIR   (DIR holds Lumet-<v>-x64.msi and the
#                                      higher and lower ones, as made below)
# msiexec's status is cut to 8 bits by Wine (1603 reads as 67): the refusal
# is read from the log as well.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/../.."
root=$PWD
build=$(realpath -m "${LUMET_E2E_BUILD:-build/windows}")
export WINEPREFIX=$build/msi-prefix
# shellcheck source=../e2e/wine-lib.sh
source "$root/tests/e2e/wine-lib.sh"
packages=$(realpath "$1")

if [ -z "${LUMET_E2E_IN_XVFB:-}" ]; then
  require_tools msiinfo
  cmake --build "$build" --target lumet_driver >/dev/null
  exec xvfb-run -a -s "-screen 0 1024x768x24" env LUMET_E2E_IN_XVFB=1 "$self" "$@"
fi

choose_wine || exit 1
msi=$(ls "$packages"/Lumet-*-x64.msi | grep -v -e '-upgrade-' -e '-older-' | head -n 1)
version=$(basename "$msi" | sed -E 's/^Lumet-(.*)-x64\.msi$/\1/')
higher=$packages/upgrade/Lumet-99.0.0-x64.msi
lower=$packages/older/Lumet-0.1.0-x64.msi
work=$build/msi-work
rm -rf "$work" "$WINEPREFIX"
mkdir -p "$work"
prepare_prefix >/dev/null
fresh_wineserver "$work/wineserver.log"
program_dir="$WINEPREFIX/drive_c/Program Files/Lumet"
mounted=""
trap '[ -z "$mounted" ] || umount "$program_dir"; stop_wineserver' EXIT

failed=0
check() {  # check WHAT COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}
msiexec() {  # msiexec /i|/x FILE LOG: the status in $status
  local started; started=$(now)
  status=0
  timeout "$wine_bound" "$wine" msiexec "$1" "$(winepath -w "$2")" /qn /l*v "$(winepath -w "$work/$3")" \
    >/dev/null 2>&1 || status=$?
  echo "    msiexec $1 $(basename "$2") -> exit $status in $(seconds_since "$started") s"
}
reg_value() { timeout "$wine_bound" "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { $1 = $2 = ""; sub(/^ +/, ""); print }'; }
env_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The products of ours registered: one "DisplayVersion" line each.
our_products() {
  timeout "$wine_bound" "$wine" reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { key = $0 } /DisplayName/ && / Lumet$/ { mine[key] = 1 } /DisplayVersion/ { v[key] = $NF }
         END { for (k in mine) print v[k] }'
}
utf16_file() { iconv -f UTF-16LE -t UTF-8 "$1" 2>/dev/null | tr -d '\r\357\273\277' | sed 's/^\xef\xbb\xbf//'; }

msiexec /i "$msi" install.log
check "msiexec /i /qn exits 0" test "$status" = 0
for f in Lumet.exe lumet-cli.exe README.txt; do check "Program Files\\Lumet\\$f installed" test -f "$program_dir/$f"; done
said=$(timeout "$wine_bound" "$wine" "C:\\Program Files\\Lumet\\lumet-cli.exe" --version 2>/dev/null | tr -d '\r')
check "lumet-cli.exe --version from there prints lumet-cli $version" test "$said" = "lumet-cli $version"
check "the folder is on the system PATH" bash -c 'grep -qiF "C:\\Program Files\\Lumet" <<<"$1"' _ "$(reg_value "$env_key" PATH)"
check "one product registered, version $version" test "$(our_products)" = "$version"

# Lumet.exe where the user may not write: the folder read-only for everyone.
mount --bind "$program_dir" "$program_dir" && mounted=1 && mount -o remount,bind,ro "$program_dir" "$program_dir"
check "the program folder is read-only" bash -c '! touch "$1/probe" 2>/dev/null' _ "$program_dir"
printf 'key esc\nexpect-exit 2\n' >"$work/close.txt"
cp "$build/tests/e2e/lumet_driver.exe" "$work/"
closed=0
run_driver "$work" "$work" msi- lumet_driver.exe 'C:\Program Files\Lumet\Lumet.exe' close.txt >/dev/null || closed=$?
check "Lumet.exe started and closed (driver exit $closed)" test "$closed" = 0
umount "$program_dir" && mounted=""
appdata=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming | head -n 1)
config=$(utf16_file "$appdata/Lumet/Config.ini")
check "Config.ini is in %APPDATA%\\Lumet" test -n "$config"
check "none beside the program" test ! -e "$program_dir/Config.ini"
check "its output folder is Documents\\Lumet" bash -c 'grep -qE "^FilePath = C:\\\\users\\\\[^\\\\]+\\\\Documents\\\\Lumet$" <<<"$1"' _ "$config"

msiexec /i "$higher" upgrade.log
check "a higher version upgrades it (exit 0)" test "$status" = 0
check "one product registered afterwards, version 99.0.0" test "$(our_products)" = "99.0.0"
msiexec /i "$lower" downgrade.log
check "a lower version is refused (1603, cut to 67)" test "$status" = 67
check "the log shows the newer version found" grep -qa "WIX_DOWNGRADE_DETECTED = {" "$work/downgrade.log"
check "still one product, version 99.0.0" test "$(our_products)" = "99.0.0"

# What the uninstall must leave: the user's scans. What it must take: the
# collection service lumet-cli registered, besides all it installed itself.
scans="$(ls -d "$WINEPREFIX"/drive_c/users/*/Documents | head -n 1)/Lumet"
mkdir -p "$scans" && echo "KT5200003,2026/12/09,10:15:02,6900000000014" >"$scans/KT5200003_20261209_001.txt"
timeout "$wine_bound" "$wine" sc create LumetCollection binPath= "C:\\Program Files\\Lumet\\lumet-cli.exe service run" start= demand >/dev/null 2>&1
check "a collection service is registered before the uninstall" \
  bash -c 'timeout 60 "$1" sc query LumetCollection 2>/dev/null | grep -q STATE' _ "$wine"
msiexec /x "$higher" uninstall.log
check "msiexec /x /qn exits 0" test "$status" = 0
check "no file left in Program Files" test ! -e "$program_dir"
check "no product registered" test -z "$(our_products)"
check "no key HKLM\\Software\\Lumet" bash -c '! timeout 60 "$1" reg query "HKLM\\Software\\Lumet" >/dev/null 2>&1' _ "$wine"
check "not on the PATH" bash -c '! grep -qiF "Lumet" <<<"$1"' _ "$(reg_value "$env_key" PATH)"
check "no shortcut" test -z "$(find "$WINEPREFIX/drive_c" -iname 'Lumet*.lnk' 2>/dev/null)"
check "no service" bash -c '! timeout 60 "$1" sc query LumetCollection 2>/dev/null | grep -q STATE' _ "$wine"
check "the user's scan file is kept" test -s "$scans/KT5200003_20261209_001.txt"

if [ $failed -eq 0 ]; then echo "PASS MSI under Wine"; else echo "FAIL MSI under Wine"; fi
exit $failed
