#!/usr/bin/env bash
# The whole test run, from a fresh Debian 12 machine (as root) to a verdict:
# installs what is missing, builds build/linux, build/linux-asan (ASan, LSan,
# UBSan), build/linux-tsan (the concurrency suite), build/win32, build/win64
# and build/fuzz, runs every suite natively, under the sanitizers and under
# wine64, checks the product DLL from the outside, and runs each fuzz target
# for a bounded time. Exits non-zero if anything failed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# build DIR [cmake options...]; TARGET=name builds one target only.
build() {
  local dir=$1
  shift
  echo "== build/$dir"
  cmake -S . -B "build/$dir" -G Ninja -Wno-dev -DPIXTAGGER_TESTS=ON "$@" >/dev/null
  ninja -C "build/$dir" ${TARGET:-}
}

build linux -DPIXTAGGER_BENCHMARKS=ON
build linux-asan -DPIXTAGGER_SANITIZE=ON
TARGET=concurrency_tests build linux-tsan -DPIXTAGGER_TSAN=ON
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
build win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DPIXTAGGER_BENCHMARKS=ON

failed=()
run_suites() {
  local dir=$1
  shift
  echo "== tests in build/$dir"
  ctest --test-dir "build/$dir" --output-on-failure --no-tests=error -j "$(nproc)" "$@" || failed+=("$dir")
}

run_suites linux
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 run_suites linux-asan
TSAN_OPTIONS=halt_on_error=1 run_suites linux-tsan -R '^concurrency_tests$'
run_suites win32

# A prefix of the build's own, made once before the suites start in parallel.
export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
fi
# Xvfb has no window manager: Wine then draws the caption and close box
# itself, and does not wait for a manager to map or withdraw each window.
for value in Managed Decorated; do
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /d N /f >/dev/null 2>&1
done
/usr/lib/wine/wineserver -w
run_suites win64
/usr/lib/wine/wineserver -k 2>/dev/null || true

echo "== fuzzing (${PIXTAGGER_FUZZ_SECONDS:-60} s a target)"
bash scripts/fuzz.sh "${PIXTAGGER_FUZZ_SECONDS:-60}" || failed+=(fuzz)

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: tests in ${failed[*]}"
  exit 1
fi
echo "All suites passed: build/linux, build/linux-asan, build/linux-tsan, build/win32 (outside check), build/win64 (wine64), fuzzing"
