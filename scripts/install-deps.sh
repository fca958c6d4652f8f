#!/usr/bin/env bash
# Installs what building and testing Lumet needs on a Debian machine: as root
# directly, otherwise through sudo.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev binutils
          g++-mingw-w64-x86-64 wine wine64 xvfb xauth imagemagick x11-apps socat)
packages+=(clang)  # the fuzz targets (libFuzzer)
packages+=(libcli11-dev)  # command-line options (header-only)
# The export's ODBC and its test driver; the 32-bit program and Wine for it.
packages+=(unixodbc unixodbc-dev libsqliteodbc sqlite3 libsqlite3-dev g++-mingw-w64-i686-posix)
# lumet-cli's database tier: a PostgreSQL server the tests start in a cluster
# of their own, and its ODBC driver.
packages+=(postgresql odbc-postgresql)
# The packages (scripts/package.sh) and their tests: MSIs with wixl, the
# Debian package with dpkg's tools, checked with lintian, systemd and udev.
packages+=(wixl wixl-data msitools lintian fakeroot udev man-db)
# lumet-cli --xlsx: libxlsxwriter (natively Debian's; MinGW's built from its
# source package with MinGW's zlib, scripts/build-xlsxwriter-mingw.sh), and
# openpyxl to read the workbooks back in the tests.
packages+=(libxlsxwriter-dev pkg-config python3-openpyxl libz-mingw-w64-dev dpkg-dev)
# wine32 only where i386 programs can run: elsewhere it cannot work, and once
# installed Debian's wine wrapper starts even 64-bit programs through it.
# LUMET_I386 (yes/no) carries the probe's answer from the caller, so that it
# is made once.
if [ -z "${LUMET_I386:-}" ]; then
  if bash "$(dirname "$0")/i386-probe.sh" >/dev/null; then LUMET_I386=yes; else LUMET_I386=no; fi
fi
if [ "$LUMET_I386" = yes ]; then
  packages+=(wine32:i386)
  # wine32 is an i386 package: apt must know the architecture before its update.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [ "$(id -u)" -eq 0 ]; then dpkg --add-architecture i386; else sudo dpkg --add-architecture i386; fi
  fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "error: not root and no sudo to install ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
  fi
  # env passes DEBIAN_FRONTEND through sudo, which would otherwise drop it.
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# libxlsxwriter for the MinGW builds, into their build folders (once each).
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build-xlsxwriter-mingw.sh" "$root/build/windows" x86_64-w64-mingw32
bash "$root/scripts/build-xlsxwriter-mingw.sh" "$root/build/windows32" i686-w64-mingw32
