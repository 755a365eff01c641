#!/usr/bin/env bash
# Installs what is missing, builds the three builds and runs every test: the 64-bit Windows
# build's tests under 64-bit Wine, the 32-bit build's under 32-bit Wine where this machine runs
# 32-bit programs (scripts/windows-builds.sh; SKIP_32BIT=1 leaves them out), each on a private
# X display, then the native sanitizer tests and the bounded fuzzer runs. Ends with one summary
# line counting what ran.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-builds.sh
started=$(date +%s)

bash scripts/bootstrap.sh || exit 1
bash scripts/build.sh || exit 1

status=0
passed=0
failed=0
count() { # ctest log: adds its passed and failed tests to the totals
  local line total failures
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  failures=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$(( passed + ${total:-0} - ${failures:-0} ))
  failed=$(( failed + ${failures:-0} ))
}
suite() { # <title> <log> <ctest arguments...>
  local title=$1 log=$2
  shift 2
  echo "== $title =="
  "$@" --output-on-failure -j2 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  count "$log"
}

suite "64-bit Windows build: tests under 64-bit Wine" build/ctest-win64.log \
  bash scripts/with-display.sh ctest --test-dir build/win64
if can_run_32bit; then
  suite "32-bit Windows build: tests under 32-bit Wine" build/ctest-windows.log \
    bash scripts/with-display.sh ctest --test-dir build
else
  echo "32-bit Windows tests skipped: $why32bitCannotRun."
fi
suite "Native build: sanitizer tests and fuzzers" build/ctest-native.log ctest --test-dir build/native

echo "Test command took $(( $(date +%s) - started )) s."
echo "tests: $passed passed, $failed failed"
exit $status
