#!/usr/bin/env bash
# Checks of Travinel.ocx that need no Windows to run, read from the file with MinGW's objdump:
# the architecture, the five exports with undecorated names, imports from system libraries
# only, and the type library (resource TYPELIB 1) and version information (RT_VERSION) present.
#
#   library_checks.sh OCX OBJDUMP FORMAT      FORMAT: pei-i386 or pei-x86-64
set -uo pipefail

ocx=${1:?usage: library_checks.sh OCX OBJDUMP FORMAT}
objdump=${2:?usage: library_checks.sh OCX OBJDUMP FORMAT}
format=${3:?usage: library_checks.sh OCX OBJDUMP FORMAT}

failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

headers=$("$objdump" -p "$ocx") || {
  echo "FAILED: $objdump cannot read $ocx"
  exit 1
}

# The export table's name list: the lines "[   n] Name" after "[Ordinal/Name Pointer] Table".
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
               on && /^\t\[ *[0-9]+\] / { print $NF; next }
               on { exit }' <<<"$headers" | sort | xargs)
imports=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]' | sort -u |
  xargs)
system_libraries=" advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll "
system_libraries+="urlmon.dll user32.dll "
resources=$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$headers")

only_system_imports() {
  local dll
  for dll in $imports; do
    [[ "$system_libraries" == *" $dll "* ]] || {
      echo "  imports $dll"
      return 1
    }
  done
}

check "file format $format" grep -q "file format $format\$" <<<"$headers"
check "exports '$exports'" \
  test "$exports" = "DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer"
check "imports system libraries only ($imports)" only_system_imports
typelib_one() { grep -A2 'name: .*TYPELIB' <<<"$resources" | grep -q 'Entry: ID: 0x000001,'; }
check "type library as resource TYPELIB 1" typelib_one
check "version information (RT_VERSION)" grep -q 'Entry: ID: 0x000010,' <<<"$resources"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "every check passed"
