#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh 64-bit prefix (64-bit Windows with its 32-bit
# side): a silent install with a site list; both controls, their registration and the site list
# in both registry views; the local weight service Travinel running, its configuration and the
# browsers' policies for the sites; a 64-bit and a 32-bit VBScript host and an HTTP client of the
# service reading a weight from the simulator on COM7; a second configuration; a silent
# uninstall that leaves no file, key or value of ours and no service, and keeps another
# program's policy value.
#
#   installer_test.sh SETUP_EXE SIMULATOR EXAMPLES_FOLDER WORK_FOLDER
#
# The installer is a 32-bit program: where the kernel runs no 32-bit code the test says so and
# exits 77 (ctest: skipped). Exit codes: 0 every check passed, 1 a check failed.
set -uo pipefail

setup=${1:?usage: installer_test.sh SETUP_EXE SIMULATOR EXAMPLES_FOLDER WORK_FOLDER}
simulator=${2:?}
examples=${3:?}
work=${4:?}
here=$(dirname "$(readlink -f "$0")")
root=$(readlink -f "$here/../..")
wine_run="$root/cmake/wine-run"

if ! "$root/scripts/can-run-32bit"; then
  echo "wine-run: skipped: this kernel cannot run 32-bit programs (the installer is one)"
  exit 77
fi

export TRAVINEL_WINEPREFIX="$work/wineprefix" TRAVINEL_WINEARCH=win64
readonly control_clsid='{D90FD6E7-3160-443F-96BB-9BFA60315182}'
readonly typelib_id='{FC6885CE-FC90-49F3-8CAA-06D212E5E357}'
readonly settings='HKLM\SOFTWARE\Dornavel\Travinel'
readonly uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Travinel'
readonly program_files="$TRAVINEL_WINEPREFIX/drive_c/Program Files"
readonly program_files32="$TRAVINEL_WINEPREFIX/drive_c/Program Files (x86)"

failures=0
pass() { echo "ok: $*"; }
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
wine_quiet() { "$wine_run" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
key_exists() { wine_quiet reg query "$1" "/reg:$2" >/dev/null; }
no_key() { ! key_exists "$@"; }
# The site list as reg prints it: the lines joined by \0.
sites_in_view() {
  wine_quiet reg query "$settings" /v SitesPermitidos "/reg:$1" |
    sed -n 's/^ *SitesPermitidos *REG_MULTI_SZ *//p'
}

rm -rf "$TRAVINEL_WINEPREFIX"
"$wine_run" --init || exit 1
trap '"$wine_run" --stop' EXIT

readonly chrome_policies='HKLM\SOFTWARE\Policies\Google\Chrome'
readonly edge_policies='HKLM\SOFTWARE\Policies\Microsoft\Edge'
readonly service_port=8470
service_config="$TRAVINEL_WINEPREFIX/drive_c/ProgramData/Travinel/servir.json"
# A policy another program set before us: ours come beside it, and it stays.
wine_quiet reg add "$chrome_policies\LoopbackNetworkAllowedForUrls" /v 1 /d 'https://[*.]outro.example' /f >/dev/null
policy_values() { wine_quiet reg query "$1\\$2" /reg:64 | sed -n 's/^ *[0-9]* *REG_SZ *//p' | sort | tr '\n' ' '; }
service_state() { wine_quiet sc query Travinel | sed -n 's/^ *STATE *: *[0-9]* *//p'; }
port_free() { ! /usr/bin/python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$service_port" 2>/dev/null; }
if ! port_free; then
  echo "FAILED: port $service_port is taken before the install; the service could not listen"
  exit 1
fi

echo "== silent install"
wine_quiet "$setup" /S '/SITES=https://*.loja.example;https://pdv.example' >/dev/null
# The service keeps the prefix's wineserver alive: wait for the installer, not for the prefix.
for _ in $(seq 60); do
  [ -f "$program_files32/Travinel/uninstall.exe" ] && [ "$(service_state)" = RUNNING ] && break
  sleep 1
done
check "the 32-bit control in Program Files (x86)" test -f "$program_files32/Travinel/Travinel.ocx"
check "the 64-bit control in Program Files" test -f "$program_files/Travinel/Travinel.ocx"
check "the uninstaller" test -f "$program_files32/Travinel/uninstall.exe"
for view in 32 64; do
  check "the control registered in the $view-bit view" \
    key_exists "HKLM\\SOFTWARE\\Classes\\CLSID\\$control_clsid\\InprocServer32" "$view"
  sites=$(sites_in_view "$view")
  check "the site list in the $view-bit view ($sites)" \
    test "$sites" = 'https://*.loja.example\0https://pdv.example'
done
check "an entry in the installed programs" key_exists "$uninstall_key" 64
check "travinel.exe beside the 64-bit control" test -f "$program_files/Travinel/travinel.exe"
check "the service Travinel runs ($(service_state))" test "$(service_state)" = RUNNING
check "the service's configuration names the sites" \
  grep -q '"https://\*\.loja\.example"' "$service_config"
for browser in "$chrome_policies" "$edge_policies"; do
  for policy in LoopbackNetworkAllowedForUrls LocalNetworkAccessAllowedForUrls; do
    values=$(policy_values "$browser" "$policy")
    check "$policy of ${browser##*\\} grants the sites ($values)" \
      grep -q 'https://\[\*\.\]loja.example .*https://pdv.example' <<<"$values"
  done
done
check "another program's policy value is kept" \
  grep -q 'outro.example' <<<"$(policy_values "$chrome_policies" LoopbackNetworkAllowedForUrls)"

echo "== script hosts of both bitnesses read a weight"
read_weights() {
  local output
  output=$(wine_quiet cscript //nologo "$(windows_path "$examples/read_weight.vbs")" 7 1)
  [ "$output" = "PesoLido=1234" ] && echo "64-bit cscript: $output" || echo "FAILED: 64-bit: $output"
  output=$(wine_quiet 'C:\windows\syswow64\cscript.exe' //nologo \
    "$(windows_path "$examples/read_weight.vbs")" 7 1)
  [ "$output" = "PesoLido=1234" ] && echo "32-bit cscript: $output" || echo "FAILED: 32-bit: $output"
  output=$(/usr/bin/python3 -c '
import json, sys, urllib.request
request = urllib.request.Request("http://127.0.0.1:" + sys.argv[1] + "/v1/ler",
                                 data=json.dumps({"Porta": 7, "Mod_Bal": 1}).encode(),
                                 headers={"Content-Type": "application/json"})
print(json.load(urllib.request.urlopen(request, timeout=30))["PesoLido"])' "$service_port" 2>&1)
  [ "$output" = "1234" ] && echo "the service: PesoLido=$output" || echo "FAILED: service: $output"
}
# shellcheck source=../windows/wine-paths.sh
. "$root/tests/windows/wine-paths.sh"
export -f read_weights wine_quiet windows_path
export wine_run examples service_port
hosts=$(TRAVINEL_SIMULATOR_ARGS="--weight 1234" "$root/tests/support/with-simulator" "$simulator" \
  "$TRAVINEL_WINEPREFIX/dosdevices/com7" "$work/control" -- bash -c read_weights 2>/dev/null)
echo "$hosts"
check "both hosts read the weight" test "$(grep -c '^[0-9]*-bit cscript: PesoLido=1234$' <<<"$hosts")" -eq 2
check "the service reads the weight" grep -qx 'the service: PesoLido=1234' <<<"$hosts"

echo "== a second configuration"
wine_quiet "C:\\Program Files\\Travinel\\travinel.exe" configurar --sites 'https://caixa.outraloja.example' >/dev/null
sites=$(sites_in_view 64)
check "the control's list is the new one ($sites)" test "$sites" = 'https://caixa.outraloja.example'
check "the service's configuration is the new one" \
  grep -q 'caixa.outraloja.example' "$service_config"
values=$(policy_values "$edge_policies" LocalNetworkAccessAllowedForUrls)
check "the policies are the new ones ($values)" test "$values" = 'https://caixa.outraloja.example '

echo "== unregistering one bitness leaves the other usable"
# Both libraries share the ProgID and, under some systems, the interface entries: taking one
# away must leave the other's class creatable. Each is put back before the next step.
readonly control_iid='{7526249E-CF15-40BB-9EBC-E8D39EEB9363}'
regsvr32_of() { [ "$1" = 64 ] && echo regsvr32 || echo 'C:\windows\syswow64\regsvr32.exe'; }
cscript_of() { [ "$1" = 64 ] && echo cscript || echo 'C:\windows\syswow64\cscript.exe'; }
ocx_of() {
  [ "$1" = 64 ] && echo 'C:\Program Files\Travinel\Travinel.ocx' ||
    echo 'C:\Program Files (x86)\Travinel\Travinel.ocx'
}
creates() {
  local output
  output=$(wine_quiet "$(cscript_of "$1")" //nologo "$(windows_path "$here/creates_control.vbs")")
  [ "$output" = "Porta=3" ] || { echo "  $1-bit host: $output"; return 1; }
}
for gone in 64 32; do
  kept=$((96 - gone))
  wine_quiet "$(regsvr32_of "$gone")" /u /s "$(ocx_of "$gone")"
  check "without the $gone-bit control, no class in its view" \
    no_key "HKLM\\SOFTWARE\\Classes\\CLSID\\$control_clsid" "$gone"
  check "the $kept-bit host still creates the control" creates "$kept"
  check "the ProgID is kept for the $kept-bit control" \
    key_exists 'HKLM\SOFTWARE\Classes\Dornavel.FfrmActivexForm' 64
  check "the interface entry is kept for the $kept-bit control" \
    key_exists "HKLM\\SOFTWARE\\Classes\\Interface\\$control_iid" "$kept"
  wine_quiet "$(regsvr32_of "$gone")" /s "$(ocx_of "$gone")"
  check "the $gone-bit host creates the control again" creates "$gone"
done

echo "== silent uninstall"
wine_quiet "C:\\Program Files (x86)\\Travinel\\uninstall.exe" /S >/dev/null
# The uninstaller runs on from a copy of itself.
for _ in $(seq 60); do
  [ ! -e "$program_files32/Travinel" ] && break
  sleep 1
done
check "no service Travinel" test -z "$(service_state)"
check "the service's port is free" port_free
check "no configuration of the service" test ! -e "$service_config"
for browser in "$chrome_policies" "$edge_policies"; do
  for policy in LoopbackNetworkAllowedForUrls LocalNetworkAccessAllowedForUrls; do
    check "no policy entry of ours in $policy of ${browser##*\\}" \
      test -z "$(policy_values "$browser" "$policy" | grep -v outro.example)"
  done
done
check "another program's policy value is still there" \
  grep -q 'outro.example' <<<"$(policy_values "$chrome_policies" LoopbackNetworkAllowedForUrls)"
check "no folder of ours in Program Files (x86)" test ! -e "$program_files32/Travinel"
check "no folder of ours in Program Files" test ! -e "$program_files/Travinel"
for view in 32 64; do
  check "no settings in the $view-bit view" no_key 'HKLM\SOFTWARE\Dornavel' "$view"
  check "no class in the $view-bit view" no_key "HKLM\\SOFTWARE\\Classes\\CLSID\\$control_clsid" "$view"
  check "no ProgID in the $view-bit view" no_key 'HKLM\SOFTWARE\Classes\Dornavel.FfrmActivexForm' "$view"
  check "no type library in the $view-bit view" no_key "HKLM\\SOFTWARE\\Classes\\TypeLib\\$typelib_id" "$view"
  check "no interface entry in the $view-bit view" \
    no_key "HKLM\\SOFTWARE\\Classes\\Interface\\$control_iid" "$view"
  check "no installed-programs entry in the $view-bit view" no_key "$uninstall_key" "$view"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "every check passed"
