#!/usr/bin/env bash
# Registers Travinel.ocx under Wine through regsvr32, as an installer would, and reads every
# entry back with reg query: machine-wide (regsvr32 /s), its removal (regsvr32 /u /s), per user
# through DllInstall (regsvr32 /s /n /i:user, entries under HKCU\Software\Classes) and a copy of
# the library in a folder with a blank in its name (short name in InprocServer32, long name in
# ToolboxBitmap32).
#
#   registration.sh OCX WINE_RUN WORK_FOLDER [PLATFORM]
#
# OCX is the built library, WINE_RUN the project's cmake/wine-run, WORK_FOLDER a scratch folder
# of the build tree (the copy with a blank goes there), PLATFORM the type library's platform key
# (win32, the default, or win64 for the 64-bit library). Exit codes: 0 every check passed, 1 a
# check failed, 77 the library has not been built (ctest reports the test as skipped).
set -uo pipefail

ocx=${1:?usage: registration.sh OCX WINE_RUN WORK_FOLDER}
wine_run=${2:?usage: registration.sh OCX WINE_RUN WORK_FOLDER}
work=${3:?usage: registration.sh OCX WINE_RUN WORK_FOLDER}
platform=${4:-win32}

readonly control_clsid='{D90FD6E7-3160-443F-96BB-9BFA60315182}'
readonly page_clsid='{DB9EADCA-5A65-4D64-A19A-EA6058938812}'
readonly typelib_id='{FC6885CE-FC90-49F3-8CAA-06D212E5E357}'
readonly prog_id='Dornavel.FfrmActivexForm'
readonly blank_folder="$work/folder with blank"

failures=0

if [ ! -f "$ocx" ]; then
  echo "SKIPPED: $ocx has not been built yet; build the Travinel target, then run this test again"
  exit 77
fi

# shellcheck source=wine-paths.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-paths.sh"

wine_quiet() {
  "$wine_run" "$@" </dev/null 2>/dev/null | tr -d '\r'
}

# Every value below a key, one line each: KEY<TAB>NAME<TAB>DATA, NAME "(Default)" for the
# key's default value. Wine's reg prints a key's full name on a line of its own, then one line
# per value, indented by four blanks, its fields separated by four blanks.
dump_key() {
  wine_quiet reg query "$1" /s | awk -v OFS='\t' '
    /^HKEY_/ { key = $0; next }
    /^    / {
      line = substr($0, 5)
      split(line, parts, "    REG_SZ    ")
      if (index(line, "    REG_SZ") == 0) next
      name = parts[1]
      data = (2 in parts) ? parts[2] : ""
      sub(/    REG_SZ *$/, "", name)
      print key, name, data
    }'
}

pass() { echo "ok: $*"; }
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# expect_value DUMP KEY NAME DATA: the dump holds the value exactly.
expect_value() {
  local record
  record=$(printf '%s\t%s\t%s' "$2" "$3" "$4")
  if grep -Fxq -- "$record" <<<"$1"; then
    pass "$2 [$3] = '$4'"
  else
    fail "$2 [$3] should be '$4'; found: $(grep -F -- "$2	$3	" <<<"$1" | cut -f3 || true)"
  fi
}

expect_no_value() {
  if grep -Fq -- "$(printf '%s\t%s\t' "$2" "$3")" <<<"$1"; then
    fail "$2 [$3] should not exist"
  else
    pass "$2 has no value $3"
  fi
}

expect_key_absent() {
  if wine_quiet reg query "$1" >/dev/null; then
    fail "$1 should not exist"
  else
    pass "$1 does not exist"
  fi
}

# The value's data, for checks that are not a plain comparison.
value_of() {
  grep -F -- "$(printf '%s\t%s\t' "$2" "$3")" <<<"$1" | head -n 1 | cut -f3
}

regsvr32() {
  local expected=$1
  shift
  wine_quiet regsvr32 "$@" >/dev/null
  local result=$?
  if [ "$result" -eq "$expected" ]; then
    pass "regsvr32 $* exits with $result"
  else
    fail "regsvr32 $* exits with $result, not $expected"
  fi
}

# The control's and the property page's entries below ROOT (HKEY_CLASSES_ROOT or
# HKEY_CURRENT_USER\Software\Classes) for a library registered as FILE (InprocServer32's name)
# and LONG_FILE (its long name).
check_class_entries() {
  local root=$1 file=$2 long_file=$3
  local k="$root\\CLSID\\$control_clsid" dump
  dump=$(dump_key "$k")
  expect_value "$dump" "$k" "(Default)" "FfrmActivexForm Control"
  expect_value "$dump" "$k\\InprocServer32" "(Default)" "$file"
  expect_value "$dump" "$k\\InprocServer32" "ThreadingModel" "Apartment"
  expect_value "$dump" "$k\\ProgID" "(Default)" "$prog_id"
  expect_value "$dump" "$k\\Version" "(Default)" "1.0"
  expect_value "$dump" "$k\\TypeLib" "(Default)" "$typelib_id"
  expect_value "$dump" "$k\\MiscStatus" "(Default)" "0"
  expect_value "$dump" "$k\\MiscStatus\\1" "(Default)" "205201"
  expect_value "$dump" "$k\\ToolboxBitmap32" "(Default)" "$long_file,1"
  expect_value "$dump" "$k\\Control" "(Default)" ""
  expect_value "$dump" "$k\\Verb" "(Default)" ""
  expect_value "$dump" "$k\\Verb\\0" "(Default)" "Properties,0,2"

  local p="$root\\$prog_id"
  dump=$(dump_key "$p")
  expect_value "$dump" "$p" "(Default)" "FfrmActivexForm Control"
  expect_value "$dump" "$p\\Clsid" "(Default)" "$control_clsid"

  local page="$root\\CLSID\\$page_clsid"
  dump=$(dump_key "$page")
  expect_value "$dump" "$page" "(Default)" "TPropertyPage1 property page"
  expect_value "$dump" "$page\\InprocServer32" "(Default)" "$file"
  expect_no_value "$dump" "$page\\InprocServer32" "ThreadingModel"
}

check_typelib_entries() {
  local t="HKEY_CLASSES_ROOT\\TypeLib\\$typelib_id\\1.0" dump
  dump=$(dump_key "$t")
  expect_value "$dump" "$t\\0\\$platform" "(Default)" "$1"
  expect_value "$dump" "$t\\HELPDIR" "(Default)" "${1%\\*}"
}

check_nothing_below() {
  local root=$1
  expect_key_absent "$root\\CLSID\\$control_clsid"
  expect_key_absent "$root\\CLSID\\$page_clsid"
  expect_key_absent "$root\\$prog_id"
}

cleanup() {
  wine_quiet regsvr32 /u /s "$(windows_path "$ocx")" >/dev/null
  wine_quiet regsvr32 /u /s /n /i:user "$(windows_path "$ocx")" >/dev/null
  if [ -f "$blank_folder/Travinel.ocx" ]; then
    wine_quiet regsvr32 /u /s "$(windows_path "$blank_folder/Travinel.ocx")" >/dev/null
  fi
  rm -rf "$blank_folder"
}

machine_wide() {
  echo "== machine-wide: regsvr32 /s"
  local file
  file=$(windows_path "$ocx")
  regsvr32 0 /s "$file"
  check_class_entries 'HKEY_CLASSES_ROOT' "$file" "$file"
  check_typelib_entries "$file"
  echo "== machine-wide removal: regsvr32 /u /s"
  regsvr32 0 /u /s "$file"
  check_nothing_below 'HKEY_CLASSES_ROOT'
  expect_key_absent "HKEY_CLASSES_ROOT\\TypeLib\\$typelib_id\\1.0"
  echo "== removing what is not registered: regsvr32 /u /s"
  regsvr32 0 /u /s "$file"
}

per_user() {
  echo "== per user: regsvr32 /s /n /i:user"
  local file had_classes=no
  file=$(windows_path "$ocx")
  wine_quiet reg query 'HKEY_CURRENT_USER\Software\Classes\CLSID' >/dev/null && had_classes=yes
  regsvr32 0 /s /n /i:user "$file"
  check_class_entries 'HKEY_CURRENT_USER\Software\Classes' "$file" "$file"
  check_nothing_below 'HKEY_LOCAL_MACHINE\Software\Classes'
  echo "== per-user removal: regsvr32 /u /s /n /i:user"
  regsvr32 0 /u /s /n /i:user "$file"
  check_nothing_below 'HKEY_CURRENT_USER\Software\Classes'
  # What registration created goes again: the user's class folder too, where it had none.
  if [ "$had_classes" = no ]; then
    expect_key_absent 'HKEY_CURRENT_USER\Software\Classes\CLSID'
  fi
}

folder_with_blank() {
  echo "== a copy in a folder with a blank in its name"
  mkdir -p "$blank_folder"
  cp "$ocx" "$blank_folder/Travinel.ocx"
  local long_file server_file
  long_file=$(windows_path "$blank_folder/Travinel.ocx")
  regsvr32 0 /s "$long_file"
  server_file=$(value_of "$(dump_key "HKEY_CLASSES_ROOT\\CLSID\\$control_clsid")" \
    "HKEY_CLASSES_ROOT\\CLSID\\$control_clsid\\InprocServer32" "(Default)")
  if [ -n "$server_file" ] && [[ "$server_file" != *" "* ]] && [[ "$server_file" == *.ocx ]]; then
    pass "InprocServer32 holds the short name $server_file"
  else
    fail "InprocServer32 should hold a short name without blanks, holds '$server_file'"
  fi
  check_class_entries 'HKEY_CLASSES_ROOT' "$server_file" "$long_file"
  regsvr32 0 /u /s "$long_file"
  check_nothing_below 'HKEY_CLASSES_ROOT'
}

mkdir -p "$work"
trap cleanup EXIT
cleanup
machine_wide
per_user
folder_with_blank

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "every check passed"
