#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs every test:
# the Windows build's tests under Wine on a private X display, then the native
# sanitizer tests and the bounded fuzzer runs. Ends with one summary line.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$(date +%s)

bash scripts/bootstrap.sh || exit 1
bash scripts/build.sh || exit 1

status=0
summary() { # ctest log -> "passed failed"
  local line total failed
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  failed=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  echo "$(( ${total:-0} - ${failed:-0} )) ${failed:-0}"
}

echo "== Windows build: tests under Wine =="
bash scripts/with-display.sh ctest --test-dir build --output-on-failure -j2 2>&1 | tee build/ctest-windows.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1

echo "== Native build: sanitizer tests and fuzzers =="
ctest --test-dir build/native --output-on-failure -j2 2>&1 | tee build/ctest-native.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1

read -r wp wf < <(summary build/ctest-windows.log)
read -r np nf < <(summary build/ctest-native.log)
echo "Test command took $(( $(date +%s) - started )) s."
echo "tests: $(( wp + np )) passed, $(( wf + nf )) failed"
exit $status
