#!/usr/bin/env bash
# Fails when a product library holds code that exists for tests: the scriptable port, the manual
# clock, the memory stream or the pseudo-terminal of the testing library.
#   no_test_code.sh NM LIBRARY...
set -uo pipefail
nm=${1:?usage: no_test_code.sh NM LIBRARY...}
shift
found=$("$nm" -C "$@" 2>/dev/null | grep -E 'CommPortFake|ManualClock|MemoryByteStream|Pseudoterminal')
if [ -n "$found" ]; then
  echo "test code in a product library:"
  echo "$found" | head -n 20
  exit 1
fi
echo "no test code in: $*"
