#!/usr/bin/env bash
# Prints which folder of src/ includes which, one line a pair with the number
# of include lines ("collect -> protocol 7"), and then the pairs that do not
# reach down the floors: common and transport at the bottom; protocol;
# collect, clock, settings and export; ui on top. "up" reaches a higher floor,
# "sideways" one of its own.
#   scripts/include-graph.sh [SRC]     default: src
set -euo pipefail
src=${1:-src}
floor() {
  case $1 in
    common|transport) echo 0 ;;
    protocol) echo 1 ;;
    collect|clock|settings|export) echo 2 ;;
    ui) echo 3 ;;
    *) echo 9 ;;
  esac
}
pairs=$(grep -rHE '^#include "[a-z_0-9]+/' "$src" --include='*.cpp' --include='*.h' |
  sed -E "s|^$src/([^/]+)/[^:]*:#include \"([^/]+)/.*|\1 \2|" |
  awk '$1 != $2' | sort | uniq -c | awk '{ print $2 " -> " $3 " " $1 }')
echo "$pairs"
echo "-- not down the floors:"
against=0
while read -r from _ to count; do
  [ -n "$from" ] || continue
  a=$(floor "$from"); b=$(floor "$to")
  if [ "$b" -gt "$a" ]; then echo "up: $from -> $to $count"; against=1; fi
  if [ "$b" -eq "$a" ]; then echo "sideways: $from -> $to $count"; against=1; fi
done <<<"$pairs"
[ $against -eq 1 ] || echo "(none)"
