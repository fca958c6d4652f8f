#!/usr/bin/env bash
# Builds the packages of the version set in CMakeLists.txt, into build/packages:
#   Lumet-<version>-x64.msi    from the 64-bit Windows build (build/windows)
#   Lumet-<version>-x86.msi    from the 32-bit Windows build (build/windows32)
#   lumet-cli_<version>_amd64.deb  from a Release build without sanitizers (build/package)
#
#   scripts/package.sh [--version X.Y.Z] [--only msi-x64|msi-x86|deb] [--out DIR]
#
# --version stamps another version on the packages (the upgrade tests build a
# higher and a lower one from the same programs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version="" only="" out=$root/build/packages
while (($#)); do
  case $1 in
    --version) version=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: $0 [--version X.Y.Z] [--only msi-x64|msi-x86|deb] [--out DIR]" >&2; exit 2 ;;
  esac
done
mkdir -p "$out"
# Two compile jobs at most, unless told otherwise.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

# The version the build was configured with (project VERSION).
configured_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

build_msi() {  # ARCH PRESET
  local arch=$1 preset=$2 bin=$root/build/$2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target Lumet lumet-cli
  local v=${version:-$(configured_version "$bin")}
  local work=$out/msi-$arch
  rm -rf "$work" && mkdir -p "$work"
  sed 's/$/\r/' README.md >"$work/README.txt"
  local msi=$out/Lumet-$v-$arch.msi
  # wixl takes its sources by paths relative to here.
  wixl -a "$arch" -D Version="$v" -D Arch="$arch" -D Bin="build/$preset" \
    -D Readme="$(realpath --relative-to=. "$work/README.txt")" -o "$msi" packaging/windows/lumet.wxs
  # wixl has no Environment element: the PATH entry (appended on install,
  # taken out on uninstall) goes in as a table of its own, with its actions.
  msiinfo export "$msi" InstallExecuteSequence >"$work/InstallExecuteSequence.idt"
  printf 'RemoveEnvironmentStrings\t\t3300\r\nWriteEnvironmentStrings\t\t5200\r\n' \
    >>"$work/InstallExecuteSequence.idt"
  printf '%s\t%s\t%s\t%s\r\n' Environment Name Value Component_ s72 l255 L255 s72 \
    >"$work/Environment.idt"
  printf 'Environment\tEnvironment\r\nLumetPath\t=-*PATH\t[~];[INSTALLDIR]\tLumetCli\r\n' \
    >>"$work/Environment.idt"
  msibuild "$msi" -i "$work/Environment.idt" -i "$work/InstallExecuteSequence.idt"
  rm -rf "$work"
  echo "built $msi ($(stat -c %s "$msi") bytes)"
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
  ""|msi-x64) build_msi x64 windows ;;&
  ""|msi-x86) build_msi x86 windows32 ;;&
  ""|deb) build_deb ;;
  msi-x64|msi-x86) ;;
  *) echo "unknown --only $only" >&2; exit 2 ;;
esac
