#!/usr/bin/env bash
# Installs what building and testing Lumet needs on a Debian machine.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev
          g++-mingw-w64-x86-64 wine wine64 xvfb xauth imagemagick x11-apps socat)
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
