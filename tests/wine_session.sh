#!/usr/bin/env bash
# One Wine session for all the wine64 suites of a build, started before them
# and stopped after them (a CTest fixture; WINEPREFIX and DISPLAY as the
# suites have them). Without it each program started from here found either
# no session, and booted one (wineboot: services, desktop, devices; the
# prefix too when new), which takes seconds and far more on a busy machine
# while every other program starting then waits on that boot for at most two
# minutes and then starts unbooted, or a session whose server was just
# shutting down, three seconds after the last program of the previous suite.
# Usage: wine_session.sh start|stop
set -euo pipefail
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver

case "${1:-}" in
start)
  # A session left by a run that was stopped goes first. The server and what
  # the boot starts outlive this script: none may hold the runner's output.
  "$server" -k 2>/dev/null || true
  mkdir -p "$WINEPREFIX"  # the server starts in it; the boot fills it
  "$server" -p </dev/null >/dev/null 2>&1
  "$wine" wineboot --init </dev/null >/dev/null 2>&1 || { echo "wine_session: wineboot failed" >&2; exit 1; }
  # Xvfb has no window manager: Wine then draws the caption and close box
  # itself, and does not wait for a manager to map or withdraw each window.
  for value in Managed Decorated; do
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /d N /f </dev/null >/dev/null 2>&1
  done
  # A crash ends the program with its exception code (0xC0000005) instead of
  # leaving it to the debugger's dialog, which no one clicks on this display.
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  echo "wine_session: $WINEPREFIX booted, its server kept until stop"
  ;;
stop)
  "$server" -k 2>/dev/null || true
  ;;
*)
  echo "usage: wine_session.sh start|stop" >&2
  exit 2
  ;;
esac
