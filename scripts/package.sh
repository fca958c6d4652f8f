#!/usr/bin/env bash
# Builds the packages of the version set in CMakeLists.txt, into build/packages:
#   lumet-cli_<version>_amd64.deb  from a Release build without sanitizers (build/package)
#
#   scripts/package.sh [--version X.Y.Z] [--only deb] [--out DIR]
#
# --version stamps another version on the packages.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version="" only="" out=$root/build/packages
while (($#)); do
  case $1 in
    --version) version=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: $0 [--version X.Y.Z] [--only deb] [--out DIR]" >&2; exit 2 ;;
  esac
done
mkdir -p "$out"
# Two compile jobs at most, unless told otherwise.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

# The version the build was configured with (project VERSION).
configured_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

build_deb() {
  local bin=$root/build/package
  cmake -S . -B "$bin" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DLUMET_SANITIZE=OFF -DLUMET_TSAN=OFF >/dev/null
  cmake --build "$bin" --target lumet-cli
  local v=${version:-$(configured_version "$bin")}
  local stage=$out/deb-root src=packaging/debian
  rm -rf "$stage"
  install -d "$stage/DEBIAN" "$stage/usr/bin" "$stage/usr/lib/udev/rules.d" \
    "$stage/lib/systemd/system" "$stage/etc/default" "$stage/usr/share/man/man1" \
    "$stage/usr/share/doc/lumet-cli"
  install -m 755 -s "$bin/lumet-cli" "$stage/usr/bin/lumet-cli"
  install -m 644 "$src/70-lumet.rules" "$stage/usr/lib/udev/rules.d/70-lumet.rules"
  install -m 644 "$src/lumet-watch.service" "$src/lumet-nightly.service" "$src/lumet-nightly.timer" \
    "$stage/lib/systemd/system/"
  install -m 644 "$src/lumet.default" "$stage/etc/default/lumet"
  sed "s/@VERSION@/$v/" "$src/lumet-cli.1" | gzip -9n >"$stage/usr/share/man/man1/lumet-cli.1.gz"
  install -m 644 "$src/copyright" "$stage/usr/share/doc/lumet-cli/copyright"
  # A native package: its changelog is changelog.gz.
  printf 'lumet (%s) stable; urgency=medium\n\n  * Release %s.\n\n -- Lumet developers <packages@lumet.invalid>  %s\n' \
    "$v" "$v" "$(LC_ALL=C date -R -d @"${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}")" |
    gzip -9n >"$stage/usr/share/doc/lumet-cli/changelog.gz"
  install -m 755 "$src/postinst" "$src/prerm" "$src/postrm" "$stage/DEBIAN/"
  echo /etc/default/lumet >"$stage/DEBIAN/conffiles"
  # The libraries' packages, as dpkg-shlibdeps works them out from the program.
  local shlibs; shlibs=$(
    tmp=$(mktemp -d) && mkdir "$tmp/debian" &&
    printf 'Source: lumet\n\nPackage: lumet-cli\nArchitecture: amd64\n' >"$tmp/debian/control" &&
    cd "$tmp" && dpkg-shlibdeps -O "$stage/usr/bin/lumet-cli" | sed -n 's/^shlibs:Depends=//p'
    rm -rf "$tmp")
  cat >"$stage/DEBIAN/control" <<CONTROL
Package: lumet-cli
Version: $v
Architecture: amd64
Maintainer: Lumet developers <packages@lumet.invalid>
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $shlibs, adduser
Section: utils
Priority: optional
Homepage: https://lumet.invalid/
Description: collection of KT52 batch barcode scanners
 lumet-cli downloads the barcodes KT52 handheld scanners store into text
 files and an ODBC database, erases a scanner only once its data are saved
 and read back, and sets its clock. A udev rule gives the scanners to the
 dialout group and keeps ModemManager off them; systemd units (not enabled)
 download each scanner as it is plugged in, or all of them nightly.
CONTROL
  local deb=$out/lumet-cli_${v}_amd64.deb
  fakeroot dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
  rm -rf "$stage"
  echo "built $deb ($(stat -c %s "$deb") bytes)"
}

case $only in
  ""|deb) build_deb ;;
  *) echo "unknown --only $only" >&2; exit 2 ;;
esac
