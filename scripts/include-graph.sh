#!/usr/bin/env bash
# The floors of src/, checked. Prints which folder includes which, one line a
# pair with the number of include lines ("collect -> protocol 7"), then fails
# (exit 1), naming file, line and include, on
#   - an include that goes up a floor: common and transport 0; protocol 1;
#     collect, clock, settings and export 2; ui and cli 3, which never include
#     each other; a folder that is no floor (tools, tests) is above them all;
#   - a Windows header (<windows.h>, and the SDK's headers that need it, listed
#     below) in a file that is not a Windows backend (*_win32.cpp, *_win32.h,
#     the resource script *.rc), or a *_win32.h included by a portable file.
# Includes within a floor ("sideways") are listed, and allowed.
#   scripts/include-graph.sh [SRC]     default: src
set -euo pipefail
src=${1:-src}
[ -d "$src" ] || { echo "include-graph: no folder $src" >&2; exit 2; }

# file:line:text of every include, paths relative to $src.
includes=$(cd "$src" && grep -rnHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' . \
  --include='*.cpp' --include='*.h' --include='*.inl' --include='*.c' --include='*.rc' |
  sed 's|^\./||' || true)

awk -F: -v src="$src" '
function floor(folder) {
  if (folder == "common" || folder == "transport") return 0
  if (folder == "protocol") return 1
  if (folder ~ /^(collect|clock|settings|export)$/) return 2
  if (folder == "ui" || folder == "cli") return 3
  return 9
}
function windows_file(name) { return name ~ /_win32\.(cpp|h)$/ || name ~ /\.rc$/ }
function refuse(why) {
  printf "%s/%s:%s: %s: %s\n", src, file, line, text, why > "/dev/stderr"
  refused++
}
{
  file = $1; line = $2
  text = $3; for (i = 4; i <= NF; i++) text = text ":" $i
  sub(/^[[:space:]]+/, "", text); sub(/[[:space:]]+(\/\/.*)?$/, "", text)
  from = file; sub(/\/.*/, "", from)
  if (file !~ /\//) from = ""
  if (!(file in seen)) { seen[file] = 1; files++ }
  lines++
  if (match(text, /<[^>]+>/)) {
    header = tolower(substr(text, RSTART + 1, RLENGTH - 2))
    if (header ~ /^(windows|windef|winbase|winuser|wingdi|winreg|winsvc|winerror|winnt|winioctl|commctrl|commdlg|shlobj|shlwapi|shellapi|setupapi|cfgmgr32|devguid|dbt|objbase|ole2|oleauto|tchar|winsock2|ws2tcpip)\.h$/ &&
        !windows_file(file))
      refuse("a Windows header outside a *_win32 file")
    next
  }
  if (!match(text, /"[^"]+"/)) next
  target = substr(text, RSTART + 1, RLENGTH - 2)
  if (target ~ /_win32\.h$/ && !windows_file(file)) refuse("a Windows backend header in a portable file")
  if (target !~ /\//) next
  to = target; sub(/\/.*/, "", to)
  if (from == "" || from == to) next
  pairs[from " -> " to]++
  if (floor(to) > floor(from))
    refuse("goes up from " from " (floor " floor(from) ") to " to (floor(to) == 9 ? ", no floor of src/" : " (floor " floor(to) ")"))
  else if (floor(to) == floor(from) && floor(to) == 3)
    refuse("the front ends ui and cli never include each other")
}
END {
  n = 0
  for (pair in pairs) sorted[++n] = pair
  for (i = 2; i <= n; i++)
    for (j = i; j > 1 && sorted[j - 1] > sorted[j]; j--) { t = sorted[j]; sorted[j] = sorted[j - 1]; sorted[j - 1] = t }
  for (i = 1; i <= n; i++) {
    split(sorted[i], ends, " -> ")
    printf "%s %d%s\n", sorted[i], pairs[sorted[i]], floor(ends[1]) == floor(ends[2]) ? " (sideways)" : ""
  }
  if (refused) {
    printf "include graph: %d include(s) break the floors (listed above)\n", refused
    exit 1
  }
  printf "include graph: %d files, %d includes: none goes up a floor; Windows headers only in *_win32 files\n", files, lines
}' <<<"$includes"
