#!/usr/bin/env bash
# Static checks, failing on any finding: every tracked C/C++ file formatted as
# .clang-format says (clang-format --dry-run -Werror), and clang-tidy with
# .clang-tidy over each of our translation units in a native build folder's
# compile database, on all cores. Third-party code is not checked, and only
# our own headers report.
# Usage: lint.sh BUILD_DIR   (configured with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
# and built as far as its generated headers)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:?usage: lint.sh BUILD_DIR}
database=$build/compile_commands.json
[ -f "$database" ] || { echo "lint: no $database (configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)" >&2; exit 2; }
started=$SECONDS
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

mapfile -t sources < <(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
clang-format --dry-run -Werror "${sources[@]}" >"$out/format" 2>&1 || true
unformatted=$(grep -oE '^[^:]+:[0-9]+:[0-9]+: error' "$out/format" | cut -d: -f1 | sort -u || true)
if [ -n "$unformatted" ]; then
  echo "lint: not formatted as .clang-format says (clang-format -i FILE mends it):"
  sed 's/^/  /' <<<"$unformatted"
fi

# Our translation units, once each (the host's loader is compiled twice).
ours="^$root/(src|include|tests|tools|bench)/"
mapfile -t units < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$database" | grep -E "$ours" | sort -u)
[ ${#units[@]} -gt 0 ] || { echo "lint: $database names none of our sources" >&2; exit 2; }
printf '%s\n' "${units[@]}" |
  xargs -P "$(nproc)" -I{} sh -c 'clang-tidy -p "$1" --quiet --header-filter="$2" "$3" >"$4/$(echo "$3" | tr / _).log" 2>&1 || echo "$3" >>"$4/failed"' \
    _ "$build" "$ours" {} "$out"
# A header's finding is reported by every unit that includes it: count it once.
findings=$(cat "$out"/*.log | grep -E '^/.*:[0-9]+:[0-9]+: (warning|error): ' | sort -u || true)
if [ -n "$findings" ]; then
  echo "lint: clang-tidy findings:"
  sed "s|^$root/|  |" <<<"$findings"
fi
if [ -f "$out/failed" ]; then
  echo "lint: clang-tidy could not check:"
  sed 's/^/  /' "$out/failed"
  grep -h -B2 -A3 'error:' "$out"/*.log | head -n 40
fi

count() { [ -z "$1" ] && echo 0 || wc -l <<<"$1"; }
summary="$(count "$unformatted") of ${#sources[@]} files unformatted, $(count "$findings") clang-tidy findings in ${#units[@]} units, $((SECONDS - started)) s"
if [ -n "$unformatted" ] || [ -n "$findings" ] || [ -f "$out/failed" ]; then
  echo "lint: FAILED: $summary"
  exit 1
fi
echo "lint: passed: $summary"
