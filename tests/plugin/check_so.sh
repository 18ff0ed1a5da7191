#!/usr/bin/env bash
# The native shared object exports the plug-in's C functions and nothing else.
# Usage: check_so.sh pixtagger.so
set -euo pipefail
expected="acConfigDlg acGetAC acGetAttName acGetAttNum acGetCatPath acGetRequireOfPIState acGetSummary acGetVersion acLoadConfig acReleaseAC acReleaseConfig acSaveConfig"
actual=$(nm -D --defined-only "$1" | awk '$2 == "T" || $2 == "W" || $2 == "D" || $2 == "B" || $2 == "R" { print $3 }' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "FAIL: $1 exports '$actual', expected '$expected'"
  exit 1
fi
echo "check_so: $1 exports exactly the plug-in's functions"
