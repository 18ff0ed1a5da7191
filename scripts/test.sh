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
#
# The guest is the longest step: one emulated computer on one core for
# minutes. Its image is made (or found in /var/cache) from the start, and its
# suites run from as soon as build/win32 is built, beside everything else;
# each step it or the dialog suites take waits for the state it needs, not
# for a time. Each step's time since the start is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
mark() { echo "== $* ($((SECONDS - started)) s)"; }

bash scripts/setup.sh
mkdir -p build/logs
# What runs in the background ends with the run, whichever way it ends.
background=()
trap 'for p in "${background[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
i686=1
[ "${PIXTAGGER_SKIP_I686:-}" = 1 ] && i686=0
if [ "$i686" = 1 ]; then
  mark "i686 guest image, beside the builds (log: build/logs/i686-image.log)"
  bash scripts/i686-guest.sh build >build/logs/i686-image.log 2>&1 &
  image_pid=$!
  background+=("$image_pid")
fi

# build DIR [cmake options...]; TARGET=name builds one target only.
build() {
  local dir=$1
  shift
  mark "build/$dir"
  cmake -S . -B "build/$dir" -G Ninja -Wno-dev -DPIXTAGGER_TESTS=ON "$@" >/dev/null
  ninja -C "build/$dir" ${TARGET:-}
}

failed=()
run_suites() {
  local dir=$1
  shift
  mark "tests in build/$dir"
  ctest --test-dir "build/$dir" --output-on-failure --no-tests=error -j "$(nproc)" "$@" || failed+=("$dir")
}

# The Windows host's libraries, from Debian's source packages (built once,
# cached in /var/cache; the win32 and win64 builds find them there).
mark "Windows libraries (log: build/logs/windows-libs.log)"
bash scripts/windows-libs.sh >build/logs/windows-libs.log 2>&1 || {
  tail -n 20 build/logs/windows-libs.log
  echo "test: the Windows libraries could not be built" >&2
  exit 1
}
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
if [ "$i686" = 1 ]; then
  # Waits for the image when it is still being made (the script's lock).
  mark "i686 suites in the emulated guest, beside the rest (log: build/logs/i686-suites.log)"
  PIXTAGGER_GUEST_TIMEOUT=${PIXTAGGER_GUEST_TIMEOUT:-3600} bash scripts/i686-guest.sh run "$PWD" \
    "PIXTAGGER_SUITE_TIMEOUT=1200 bash tests/run_guest_suites.sh build/win32" >build/logs/i686-suites.log 2>&1 &
  guest_pid=$!
  background+=("$guest_pid")
fi
run_suites win32

build linux -DPIXTAGGER_BENCHMARKS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
run_suites linux
mark "lint (clang-format, clang-tidy over build/linux)"
bash scripts/lint.sh build/linux || failed+=(lint)
mark "Debian package of build/linux"
bash tests/package/check_deb.sh build/linux "$PWD" || failed+=(deb)

build linux-asan -DPIXTAGGER_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 run_suites linux-asan
TARGET=concurrency_tests build linux-tsan -DPIXTAGGER_TSAN=ON
TSAN_OPTIONS=halt_on_error=1 run_suites linux-tsan -R '^concurrency_tests$'

build win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DPIXTAGGER_BENCHMARKS=ON
# One X display for every Wine process of the run: the dialog suites need it,
# and the first process of a prefix starts the desktop that all later ones
# share, so even the console suites must see it.
rm -f build/win64/xvfb-display
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>build/win64/xvfb-display 2>/dev/null &
xvfb_pid=$!
background+=("$xvfb_pid")
for _ in $(seq 100); do [ -s build/win64/xvfb-display ] && break; sleep 0.1; done
[ -s build/win64/xvfb-display ] || { echo "test: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat build/win64/xvfb-display)"

# The suites' prefix and its one Wine session for all of them (booted once,
# no crash dialog, no window manager) are a fixture of theirs:
# tests/wine_session.sh, so that ctest alone runs them the same way.
export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all
run_suites win64
/usr/lib/wine/wineserver -k 2>/dev/null || true
kill "$xvfb_pid" 2>/dev/null || true

mark "fuzzing (${PIXTAGGER_FUZZ_SECONDS:-60} s a target)"
bash scripts/fuzz.sh "${PIXTAGGER_FUZZ_SECONDS:-60}" || failed+=(fuzz)

if [ "$i686" = 1 ]; then
  mark "waiting for the i686 guest"
  wait "$image_pid" || true  # a failed image build fails the run below, with its reason
  guest_status=0
  wait "$guest_pid" || guest_status=$?
  cat build/logs/i686-suites.log
  if [ "$guest_status" -ne 0 ]; then
    grep -h 'i686-guest:' build/logs/i686-image.log || true
    failed+=(win32-guest)
  fi
else
  echo "== i686 suites skipped (PIXTAGGER_SKIP_I686=1)"
fi

mark "done"
if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: tests in ${failed[*]}"
  exit 1
fi
where="build/win32 (outside check and wine32 in the guest)"
[ "$i686" = 1 ] || where="build/win32 (outside check only)"
echo "All suites passed: build/linux (with lint and the Debian package), build/linux-asan, build/linux-tsan, $where, build/win64 (wine64), fuzzing"
