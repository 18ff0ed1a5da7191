#!/usr/bin/env bash
# Runs the i686 suites of a build folder under wine32, one after another, and
# prints a line per suite with its time; a failed suite's output follows.
# Meant for the emulated guest (scripts/i686-guest.sh run), where DISPLAY,
# WINEPREFIX and LC_ALL are set. Usage: run_guest_suites.sh BUILD-DIR
set -uo pipefail
cd "$1" || exit 2
[ -s i686-suites.txt ] || { echo "run_guest_suites: $1 lists no suites" >&2; exit 2; }

# One wine server for the whole run: each program would otherwise start one
# and leave it to linger, and the next program could meet it shutting down.
wineserver -p
trap 'wineserver -k 2>/dev/null' EXIT
# A crash ends the program at once instead of starting Wine's debugger,
# which would wait for ever.
wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1

# Left out here only: a run of 4100 images across the host's batches of
# files, minutes under emulation, which is the same C++ natively and under
# wine64.
guest_filter() {
  case $1 in
    host_tests) echo "-FolderOrder.AnImageNamedTwiceIsTaggedAtItsFirstPlaceOnly" ;;
    *) echo "*" ;;
  esac
}

run_suite() {
  GTEST_FILTER=$(guest_filter "$1") timeout -k 10 "${PIXTAGGER_SUITE_TIMEOUT:-300}" wine "$1.exe" >"$log" 2>&1
}

failed=0
log=$(mktemp)
while read -r suite; do
  [ -n "$suite" ] || continue
  start=${EPOCHREALTIME/[.,]/}
  run_suite "$suite"
  status=$?
  # The emulator now and then raised a spurious single-step trap in an ordinary
  # instruction of a busy 32-bit thread (in the test's own allocation
  # counter). That one signature, and nothing else, earns a second try.
  if [ "$status" -ne 0 ] && grep -q 'Unhandled exception 0x80000004' "$log"; then
    echo "i686 $suite met the emulator's spurious single-step trap; trying it once more"
    run_suite "$suite"
    status=$?
  fi
  end=${EPOCHREALTIME/[.,]/}
  tenths=$(((end - start) / 100000))
  seconds="$((tenths / 10)).$((tenths % 10))"
  if [ "$status" -eq 0 ] && grep -q '^\[  PASSED  \]' "$log"; then
    printf 'i686 %-18s passed in %6s s (%s)\n' "$suite" "$seconds" "$(grep -o '^\[==========\] [0-9]* tests\? from' "$log" | tail -1 | awk '{print $2}') tests"
  else
    printf 'i686 %-18s FAILED (exit %d) in %6s s\n' "$suite" "$status" "$seconds"
    grep -v '^X connection' "$log" | tail -n 80
    failed=$((failed + 1))
  fi
done < i686-suites.txt
rm -f "$log"
[ "$failed" -eq 0 ]
