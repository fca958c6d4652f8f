#!/usr/bin/env bash
# Installs what building and testing Lumet needs on a Debian machine.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev
          g++-mingw-w64-x86-64 wine wine64 xvfb xauth imagemagick x11-apps socat)
# The export's ODBC and its test driver; the 32-bit program and Wine for it.
packages+=(unixodbc unixodbc-dev libsqliteodbc sqlite3 libsqlite3-dev g++-mingw-w64-i686-posix wine32:i386)
# wine32 is an i386 package: apt must know the architecture before its update.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [ "$(id -u)" -eq 0 ]; then dpkg --add-architecture i386; else sudo dpkg --add-architecture i386; fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
