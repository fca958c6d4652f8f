#!/usr/bin/env bash
# The one test command: sets up a fresh Debian machine and runs every tier.
#   1. unit tests of the portable core (ASan + UBSan, then TSan; virtual time)
#   1b. a short run of every fuzz target (clang, ASan + UBSan)
#   2. wire tests: the POSIX serial port against kt52sim on a pty (real time)
#   3. the Windows builds (64- and 32-bit), and the real Lumet.exe under Wine (end to end)
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
stage() { printf '\n== %s (%ss)\n' "$*" "$(( $(date +%s) - start ))"; }

stage "dependencies"
bash scripts/install-deps.sh

stage "native build"
cmake --preset native >/dev/null
cmake --build --preset native

stage "unit tests"
ctest --preset unit -j2

stage "unit tests under ThreadSanitizer"
cmake --preset native-tsan >/dev/null
cmake --build --preset native-tsan --target lumet_unit_tests
TSAN_OPTIONS="halt_on_error=1" ctest --preset tsan -j2

stage "fuzz smoke (libFuzzer, 25 s a target)"
bash scripts/fuzz.sh --seconds 25

stage "wire tests"
ctest --preset wire -j2

stage "windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows
# The 32-bit program: Windows' own DLLs only, and its start and a download under Wine.
stage "windows build, 32-bit"
cmake --preset windows32 >/dev/null
cmake --build --preset windows32
i686-w64-mingw32-objdump -p build/windows32/Lumet.exe | awk '/DLL Name:/ { print $3 }' |
  grep -viE '^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|shell32|shlwapi|ole32|setupapi|odbc32|odbccp32|msvcrt)\.dll$' &&
  { echo "Lumet.exe (32-bit) imports DLLs that Windows does not bring"; exit 1; }
LUMET_E2E_BUILD=build/windows32 bash tests/e2e/run-e2e.sh window_at_start get_barcodes_manual

stage "no test code in Lumet.exe"
bash scripts/check-no-test-code.sh build/windows/Lumet.exe

stage "end-to-end tests under Wine"
bash tests/e2e/run-e2e.sh

stage "all tiers passed"
