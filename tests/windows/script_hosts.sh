#!/usr/bin/env bash
# Script hosts under Wine: read_weight.vbs and read_weight.js (run by wine cscript) create
# Dornavel.FfrmActivexForm, enable the scale and print PesoLido, once per scale model, with the
# simulator speaking that model's protocol; then they show the error of a failing call.
# Runs under tests/support/with-simulator, whose scale line is the prefix's COM7 and whose
# control line is TRAVINEL_CONTROL_PORT (a native path: a script cannot reach a second port).
#
#   script_hosts.sh OCX WINE_RUN SCRIPTS_FOLDER DRIVERS_TABLE EXAMPLES_FOLDER
#
# DRIVERS_TABLE is src/scale/TrvBALDrivers.cpp: a model whose driver it does not list yet is
# reported as skipped. The examples' read_weight.vbs and read_weight.js (EXAMPLES_FOLDER) are run
# too, once each. Exit codes: 0 all checks passed, 1 a check failed, 77 nothing to run.
set -uo pipefail

ocx=${1:?usage: script_hosts.sh OCX WINE_RUN SCRIPTS_FOLDER DRIVERS_TABLE}
wine_run=${2:?}
scripts=${3:?}
drivers=${4:?}
examples=${5:?}
control=${TRAVINEL_CONTROL_PORT:?TRAVINEL_CONTROL_PORT names the control line of the simulator}

# model number, protocol, driver class, weight shown (simulator units), PesoLido in grams
readonly models=(
  "1 filizola TTrvBALFilizola 1234 1234"
  "2 toledo TTrvBALToledo 1234 1234"
  "3 toledo2180 TTrvBALToledo2180 123400 123400"
  "4 urano TTrvBALUrano 1234 1234"
  "5 lucastec TTrvBALLucasTec 1234 1234"
  "6 magna TTrvBALMagna 1234 1234"
  "7 digitron TTrvBALDigitron 1234 1234"
)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if [ ! -f "$ocx" ]; then
  echo "SKIPPED: $ocx has not been built"
  exit 77
fi

# shellcheck source=wine-paths.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-paths.sh"

# One command on the simulator's control line, answered by OK.
simulator() {
  local reply=""
  printf '%s\n' "$1" >&3
  IFS= read -r -t 3 reply <&3
  reply=${reply%$'\r'}
  [ "$reply" = OK ] || fail "simulator: '$1' answered '$reply'"
}

# cscript FILE ARGS...: the script's output, without CRs.
cscript() {
  local file=$1
  shift
  "$wine_run" cscript //nologo "$(windows_path "$file")" "$@" </dev/null 2>/dev/null | tr -d '\r'
}

run_script() {
  cscript "$scripts/$1" "$2" 7
}

stty -F "$control" raw -echo 9600 || { echo "cannot set up $control"; exit 1; }
exec 3<>"$control"
"$wine_run" regsvr32 /s "$(windows_path "$ocx")" </dev/null || fail "regsvr32 /s"

for entry in "${models[@]}"; do
  read -r model protocol class weight expected <<<"$entry"
  if ! grep -q "Make<$class>" "$drivers"; then
    echo "SKIPPED: model $model ($protocol): no driver yet"
    continue
  fi
  for script in read_weight.vbs read_weight.js; do
    simulator "RESET"
    simulator "PROTOCOL $protocol"
    simulator "WEIGHT $weight"
    output=$(run_script "$script" "$model")
    echo "$script model $model ($protocol): $(echo "$output" | head -1)"
    grep -qx "PesoLido=$expected" <<<"$output" ||
      fail "$script model $model: expected PesoLido=$expected, got: $output"
    grep -q "^TypeError=." <<<"$output" || fail "$script: no error for a wrong type: $output"
  done
done

# The control's own error description reaches the script (VBScript: Set Font = Nothing).
output=$(run_script read_weight.vbs 1)
grep -qx "FontError=Font: not an OLE font" <<<"$output" ||
  fail "read_weight.vbs: the Font error description is missing: $output"

# The examples a newcomer copies: COM7, Toledo.
for script in read_weight.vbs read_weight.js; do
  simulator "RESET"
  simulator "PROTOCOL toledo"
  simulator "WEIGHT 1234"
  output=$(cscript "$examples/$script" 7 2)
  echo "examples/$script: $output"
  grep -qx "PesoLido=1234" <<<"$output" || fail "examples/$script: expected PesoLido=1234: $output"
done

exec 3>&-
"$wine_run" --stop
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all script host checks passed"
