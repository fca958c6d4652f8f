#!/usr/bin/env bash
# Says whether this machine can execute 32-bit x86 programs, by running one:
# a 96-byte static i386 ELF that only calls exit(42). Some kernels are built
# without 32-bit emulation; there no i386 program runs, under Wine or not, and
# installing wine32 would even break Debian's wine wrapper for 64-bit programs.
#
# Prints one line saying what it found. Exit status: 0 when i386 programs run,
# 1 when they cannot.
set -u
probe=$(mktemp "${TMPDIR:-/tmp}/lumet-i386-probe.XXXXXX")
trap 'rm -f "$probe"' EXIT
base64 -d >"$probe" <<'ELF'
f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAA
AAAAAIAECACABAhgAAAAYAAAAAUAAAAAEAAAuAEAAAC7KgAAAM2A
ELF
chmod +x "$probe"
why=$("$probe" 2>&1)
rc=$?
if [ $rc -eq 42 ]; then
  echo "i386 programs run here (a tiny i386 program ran and exited 42)"
  exit 0
fi
why=${why##*: }
echo "i386 programs cannot run here: a tiny i386 program failed with exit $rc${why:+ ($why)}"
exit 1
