#!/usr/bin/env bash
# The Linux package: scripts/package makes the .deb from a Release tree, lintian checks it as
# Debian would (any error fails), dpkg -x unpacks it into a scratch root, systemd-analyze checks
# the service's unit and the unit's command line serves the page, and an example program builds
# against the unpacked headers and libraries through pkg-config and reads the packaged
# simulator's weight.
#
#   package_test.sh EXAMPLE_SOURCE WORK_FOLDER
set -uo pipefail
example=${1:?usage: package_test.sh EXAMPLE_SOURCE WORK_FOLDER}
work=${2:?}
here=$(dirname "$(readlink -f "$0")")
sources=$(readlink -f "$here/../..")

fail() {
  echo "FAILED: $*"
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
"$sources/scripts/package" "$work/package" >"$work/package.log" 2>&1 || {
  cat "$work/package.log"
  fail "scripts/package"
}
deb=$(ls "$work"/package/travinel_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no .deb made"
echo "made $(basename "$deb")"
dpkg-deb --info "$deb" | sed -n 's/^ *\(Package\|Version\|Depends\):/  &/p'

lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' >"$work/lintian.log"
cat "$work/lintian.log"
grep -q '^E:' "$work/lintian.log" && fail "lintian reports errors"
echo "lintian: no errors"

root="$work/root"
dpkg -x "$deb" "$root"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir="usr/lib/$multiarch"
for file in usr/bin/travinel usr/bin/travinel-simulator "$libdir/pkgconfig/travinel.pc" \
  "$libdir/libtrv_scale.a" usr/include/travinel/scale/TrvBAL.h \
  usr/share/doc/travinel/README.md usr/share/doc/travinel/copyright \
  usr/share/doc/travinel/changelog.gz usr/share/man/man1/travinel.1.gz \
  usr/share/man/man1/travinel-simulator.1.gz lib/systemd/system/travinel-servir.service \
  etc/travinel/servir.json; do
  [ -e "$root/$file" ] || fail "the package lacks $file"
done
if find "$root" -name '*Win32*' -o -name '*Fake*' | grep -q .; then
  fail "Windows or test files in the package"
fi
file "$root/usr/bin/travinel" | grep -q 'not stripped' && fail "usr/bin/travinel is not stripped"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/travinel/servir.json ||
  fail "the service's configuration is no conffile"

# The unit as systemd reads it, its program taken from the unpacked root: nothing to say.
unit="$work/travinel-servir.service"
sed "s|/usr/bin/travinel|$root/usr/bin/travinel|" \
  "$root/lib/systemd/system/travinel-servir.service" >"$unit"
verdict=$(systemd-analyze verify --man=no "$unit" 2>&1)
[ -z "$verdict" ] || fail "systemd-analyze verify: $verdict"
echo "systemd-analyze verify: no complaint"

# The unit's command line, with the unpacked program and configuration, on a free port of the
# loopback address: it serves its page.
command_line=$(sed -n 's/^ExecStart=//p' "$unit")
command_line=${command_line//\/etc\/travinel/$root\/etc\/travinel}
port=$(/usr/bin/python3 -c \
  'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# shellcheck disable=SC2086 # the unit's command line is words
$command_line --escuta "127.0.0.1:$port" --duracao 30 >"$work/servir.log" 2>&1 &
service=$!
served=no
for _ in $(seq 50); do
  if /usr/bin/python3 -c '
import sys, urllib.request
with urllib.request.urlopen("http://127.0.0.1:" + sys.argv[1] + "/", timeout=2) as answer:
    sys.exit(0 if answer.status == 200 else 1)' "$port" 2>/dev/null; then
    served=yes
    break
  fi
  sleep 0.2
done
kill "$service" 2>/dev/null
wait "$service" 2>/dev/null
[ "$served" = yes ] || { cat "$work/servir.log"; fail "the unit's command line served no page"; }
echo "the unit's command line serves the page"

flags=$(PKG_CONFIG_LIBDIR="$root/$libdir/pkgconfig" pkg-config --cflags --libs travinel) ||
  fail "pkg-config travinel"
echo "pkg-config: $flags"
# shellcheck disable=SC2086 # the flags are words
c++ -o "$work/read_weight" "$example" $flags || fail "the example does not build"

output=$(TRAVINEL_SIMULATOR_ARGS="--weight 1234" "$here/../support/with-simulator" \
  "$root/usr/bin/travinel-simulator" "$work/scale" "$work/control" \
  -- sh -c 'exec "$0" "$TRAVINEL_TEST_PORT"' "$work/read_weight" 2>/dev/null | grep -v '^with-')
echo "the example against the packaged simulator: $output"
[ "$output" = "1.234 kg" ] || fail "expected 1.234 kg"
echo "every check passed"
