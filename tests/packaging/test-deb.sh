#!/usr/bin/env bash
# The Debian package on this machine: lintian shows no error; dpkg -i puts
# the files in place, makes the user lumet in dialout, and lumet-cli
# --version prints the built version; systemd accepts the units, none
# enabled; the udev rule gives a scanner's tty (USB 2f3c:0a17) dialout, 0660,
# ID_MM_DEVICE_IGNORE and its /dev/lumet link, and leaves another tty alone;
# dpkg --purge leaves no file and no user.
#
#   tests/packaging/test-deb.sh build/packages/lumet-cli_<version>_amd64.deb
set -euo pipefail
deb=$(realpath "$1")
version=$(dpkg-deb -f "$deb" Version)
failed=0
fail() { echo "FAIL $*"; failed=1; }
check() {  # check WHAT COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else fail "$what"; fi
}

if dpkg -s lumet-cli >/dev/null 2>&1; then dpkg --purge lumet-cli >/dev/null; fi

echo "lintian:"
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "${lintian_out:-  (nothing)}" | sed 's/^/  /'
check "lintian shows no error" bash -c '! grep -q "^E:" <<<"$1"' _ "$lintian_out"

dpkg -i "$deb" >/dev/null
files=(/usr/bin/lumet-cli /usr/lib/udev/rules.d/70-lumet.rules /lib/systemd/system/lumet-watch.service
       /lib/systemd/system/lumet-nightly.service /lib/systemd/system/lumet-nightly.timer
       /etc/default/lumet /usr/share/man/man1/lumet-cli.1.gz)
for f in "${files[@]}"; do check "installed $f" test -f "$f"; done
check "lumet-cli --version prints $version" test "$(lumet-cli --version)" = "lumet-cli $version"
check "the man page renders" bash -c 'MANWIDTH=80 man -l /usr/share/man/man1/lumet-cli.1.gz 2>&1 >/dev/null | { ! grep -q .; }'
check "user lumet exists, in dialout" bash -c 'id -nG lumet | tr " " "\n" | grep -qx dialout'
check "no unit enabled" bash -c '! ls /etc/systemd/system/*.wants/lumet-* 2>/dev/null | grep -q .'

verify=$(systemd-analyze verify /lib/systemd/system/lumet-watch.service \
           /lib/systemd/system/lumet-nightly.service /lib/systemd/system/lumet-nightly.timer 2>&1 || echo "exit $?")
check "systemd-analyze verify accepts the units" test -z "$verify"
[ -z "$verify" ] || echo "$verify" | sed 's/^/  /'

# The rule against a made-up device: udev's own parser reads every rule file
# (a syntax error in ours is reported with its name), then the rule's
# matches are applied to the attributes a scanner's tty and another have.
parse=$(udevadm test /sys/class/tty/tty0 2>&1 || true)
check "udev parses the rule" bash -c '! grep -q "70-lumet.rules.*\(Invalid\|error\|ignor\)" <<<"$1"' _ "$parse"
rule_for() {  # the settings the rule gives a tty whose USB device has these ids and serial
  awk -v vendor="$1" -v product="$2" -v serial="$3" '
    /^#/ || NF == 0 { next }
    {
      ok = index($0, "ATTRS{idVendor}==\"" vendor "\"") && index($0, "ATTRS{idProduct}==\"" product "\"")
      if (index($0, "ENV{ID_SERIAL_SHORT}==\"?*\"") && serial == "") ok = 0
      if (!ok) next
      n = split($0, parts, /, */)
      for (i = 1; i <= n; i++) if (parts[i] !~ /==/) { gsub(/\$env\{ID_SERIAL_SHORT\}/, serial, parts[i]); print parts[i] }
    }' /usr/lib/udev/rules.d/70-lumet.rules
}
scanner=$(rule_for 2f3c 0a17 KT5200003 | sort | tr '\n' ' ')
check "a scanner's tty gets dialout, 0660, no ModemManager and its link" \
  test "$scanner" = 'ENV{ID_MM_DEVICE_IGNORE}="1" GROUP="dialout" MODE="0660" SYMLINK+="lumet/KT5200003" '
check "a scanner without a serial gets no link" \
  bash -c '! grep -q SYMLINK <<<"$1"' _ "$(rule_for 2f3c 0a17 '')"
check "another USB tty is left alone" test -z "$(rule_for 0403 6001 A1B2C3)"

dpkg --purge lumet-cli >/dev/null
for f in "${files[@]}" /var/lib/lumet; do check "purged $f" test ! -e "$f"; done
check "purged user lumet" bash -c '! getent passwd lumet >/dev/null && ! getent group lumet >/dev/null'

if [ $failed -eq 0 ]; then echo "PASS Debian package $(basename "$deb")"; else echo "FAIL Debian package $(basename "$deb")"; fi
exit $failed
