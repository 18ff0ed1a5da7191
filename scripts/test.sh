#!/usr/bin/env bash
# The whole test run, from a fresh Debian 12 machine (as root) to a verdict:
# installs what is missing, builds build/linux (checked by clang-format and
# clang-tidy, and packaged as a .deb that lintian checks and that classifies
# the examples once unpacked), build/linux-asan (ASan, LSan,
# UBSan), build/linux-tsan (the concurrency suite), build/win32, build/win64
# and build/fuzz, runs every suite natively, under the sanitizers, under
# wine64 (with an Xvfb display for the dialogs) and, for the i686 product,
# under wine32 in an emulated guest (PIXTAGGER_SKIP_I686=1 skips that), checks
# the product DLL from the outside, and runs each fuzz target for a bounded
# time. Exits non-zero if anything failed.
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

build linux -DPIXTAGGER_BENCHMARKS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
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
echo "== lint (clang-format, clang-tidy over build/linux)"
bash scripts/lint.sh build/linux || failed+=(lint)
echo "== Debian package of build/linux"
bash tests/package/check_deb.sh build/linux "$PWD" || failed+=(deb)
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 run_suites linux-asan
TSAN_OPTIONS=halt_on_error=1 run_suites linux-tsan -R '^concurrency_tests$'
run_suites win32

# One X display for every Wine process of the run: the dialog suites need it,
# and the first process of a prefix starts the desktop that all later ones
# share, so even the console suites must see it.
rm -f build/win64/xvfb-display
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>build/win64/xvfb-display 2>/dev/null &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s build/win64/xvfb-display ] && break; sleep 0.1; done
[ -s build/win64/xvfb-display ] || { echo "test: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat build/win64/xvfb-display)"

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
kill "$xvfb_pid" 2>/dev/null || true

# The product itself, i686, runs nowhere on this machine: its suites run under
# wine32 in an emulated guest (built once, cached in /var/cache). The guest
# runs alone: beside the builds its dialog driver's steps outwaited their
# patience. Emulation is slow here (about 13 minutes for the suites), so a
# suite may take minutes and the run more than the default 20.
if [ "${PIXTAGGER_SKIP_I686:-}" = 1 ]; then
  echo "== i686 suites skipped (PIXTAGGER_SKIP_I686=1)"
else
  echo "== i686 suites in the emulated guest"
  PIXTAGGER_GUEST_TIMEOUT=${PIXTAGGER_GUEST_TIMEOUT:-3000} bash scripts/i686-guest.sh run "$PWD" \
    "PIXTAGGER_SUITE_TIMEOUT=900 bash tests/run_guest_suites.sh build/win32" || failed+=(win32-guest)
fi

echo "== fuzzing (${PIXTAGGER_FUZZ_SECONDS:-60} s a target)"
bash scripts/fuzz.sh "${PIXTAGGER_FUZZ_SECONDS:-60}" || failed+=(fuzz)

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: tests in ${failed[*]}"
  exit 1
fi
i686="build/win32 (outside check and wine32 in the guest)"
[ "${PIXTAGGER_SKIP_I686:-}" = 1 ] && i686="build/win32 (outside check only)"
echo "All suites passed: build/linux (with lint and the Debian package), build/linux-asan, build/linux-tsan, $i686, build/win64 (wine64), fuzzing"
