#!/usr/bin/env bash
# The Linux package: cpack makes the .deb of a build tree, dpkg -x unpacks it into a scratch
# root, an example program builds against the unpacked headers and libraries through
# pkg-config, and reads the packaged simulator's weight.
#
#   package_test.sh BUILD_FOLDER EXAMPLE_SOURCE WORK_FOLDER
set -uo pipefail
build=${1:?usage: package_test.sh BUILD_FOLDER EXAMPLE_SOURCE WORK_FOLDER}
example=${2:?}
work=${3:?}
here=$(dirname "$(readlink -f "$0")")

rm -rf "$work"
mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"
  exit 1
}
deb=$(ls "$work"/package/travinel_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAILED: no .deb made"; exit 1; }
echo "made $(basename "$deb")"
dpkg-deb --info "$deb" | sed -n 's/^ *\(Package\|Version\|Depends\):/  &/p'
root="$work/root"
dpkg -x "$deb" "$root"
for file in usr/bin/travinel usr/bin/travinel-simulator usr/lib/pkgconfig/travinel.pc \
  usr/include/travinel/scale/TrvBAL.h usr/share/doc/travinel/README.md; do
  [ -e "$root/$file" ] || { echo "FAILED: the package lacks $file"; exit 1; }
done
if find "$root" -name '*Win32*' -o -name '*Fake*' | grep -q .; then
  echo "FAILED: Windows or test files in the package"
  exit 1
fi

flags=$(PKG_CONFIG_LIBDIR="$root/usr/lib/pkgconfig" \
  pkg-config --cflags --libs travinel) || { echo "FAILED: pkg-config travinel"; exit 1; }
echo "pkg-config: $flags"
# shellcheck disable=SC2086 # the flags are words
c++ -o "$work/read_weight" "$example" $flags || { echo "FAILED: the example does not build"; exit 1; }

output=$(TRAVINEL_SIMULATOR_ARGS="--weight 1234" "$here/../support/with-simulator" \
  "$root/usr/bin/travinel-simulator" "$work/scale" "$work/control" \
  -- sh -c 'exec "$0" "$TRAVINEL_TEST_PORT"' "$work/read_weight" 2>/dev/null | grep -v '^with-')
echo "the example against the packaged simulator: $output"
[ "$output" = "1.234 kg" ] || { echo "FAILED: expected 1.234 kg"; exit 1; }
echo "every check passed"
