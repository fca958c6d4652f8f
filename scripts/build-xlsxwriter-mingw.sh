#!/usr/bin/env bash
# Builds libxlsxwriter for the MinGW builds (lumet-cli.exe --xlsx): from
# Debian's source package, with MinGW's zlib (libz-mingw-w64-dev), into a
# static library in the build tree: <build>/xlsxwriter/{include,lib}, where
# CMakeLists.txt looks for it. Its source is fetched into the build tree too,
# never into the repository. The deb-src lines apt needs are made from this
# machine's own apt sources (the same entries, as deb-src).
#   scripts/build-xlsxwriter-mingw.sh build/windows x86_64-w64-mingw32
#   scripts/build-xlsxwriter-mingw.sh build/windows32 i686-w64-mingw32
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1 target=$2
mkdir -p "$build"
build=$(cd "$build" && pwd)
prefix=$build/xlsxwriter
[ -f "$prefix/lib/libxlsxwriter.a" ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# deb-src entries beside the machine's own deb entries, once.
if ! apt-get source --print-uris libxlsxwriter >/dev/null 2>&1; then
  list=/etc/apt/sources.list.d/lumet-deb-src.sources
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$list" ] || continue
    sed -E 's/^Types:.*\bdeb\b.*$/Types: deb-src/' "$f" >>"$tmp"
    echo >>"$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^deb[[:space:]]/deb-src /' |
      while read -r _ uri suite components; do
        printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n\n' "$uri" "$suite" "$components"
      done >>"$tmp" || true
  fi
  "${as_root[@]}" install -m 644 "$tmp" "$list"
  rm -f "$tmp"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
fi

work=$build/xlsxwriter-src
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get source -qq libxlsxwriter >/dev/null)
source_dir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'libxlsxwriter-*' | head -n 1)
[ -n "$source_dir" ] || { echo "apt-get source libxlsxwriter gave no source folder" >&2; exit 1; }

toolchain=$root/cmake/mingw-w64-x86_64.cmake
[ "$target" = i686-w64-mingw32 ] && toolchain=$root/cmake/mingw-w64-i686.cmake
cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DUSE_DTOA_LIBRARY=ON \
  -DZLIB_LIBRARY="/usr/$target/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$target/include" \
  -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$work/build" -j2 >/dev/null
cmake --install "$work/build" >/dev/null
# The installed layout may name the folder lib or lib64.
[ -f "$prefix/lib/libxlsxwriter.a" ] || { mkdir -p "$prefix/lib"; cp "$(find "$prefix" -name libxlsxwriter.a | head -n 1)" "$prefix/lib/"; }
echo "libxlsxwriter for $target: $prefix/lib/libxlsxwriter.a"
