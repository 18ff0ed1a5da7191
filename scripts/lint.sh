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

# A unit's findings are kept under a hash of all its result depends on: the
# files it includes as the build last recorded them, its compile command,
# and clang-tidy's version and configuration. A later run checks again only
# the units whose hash changed. A unit the build has not compiled yet has no
# record and is always checked.
cache=$build/lint-cache
mkdir -p "$cache"
config=$({ clang-tidy --version; cat .clang-tidy tests/.clang-tidy bench/.clang-tidy; } | sha1sum | cut -c1-40)
ninja -C "$build" -t deps 2>/dev/null |
  awk '/^[^ ]/ { source = ""; next } NF { if (source == "") source = $1; print source "\t" $1 }' | sort -u >"$out/deps"
cut -f2 "$out/deps" | sort -u | xargs -r -d '\n' sha1sum 2>/dev/null | awk '{ print $2 "\t" $1 }' >"$out/hashes" || true
awk -F'\t' 'NR == FNR { hash[$1] = $2; next } { keys[$1] = keys[$1] " " ($2 in hash ? hash[$2] : "missing") }
  END { for (s in keys) print s "\t" keys[s] }' "$out/hashes" "$out/deps" >"$out/unit-deps"
awk '/^ *"command": / { command = $0 } /^ *"file": / { sub(/^ *"file": "/, ""); sub(/",?$/, ""); print $0 "\t" command }' \
  "$database" >"$out/commands"
for unit in "${units[@]}"; do
  deps=$(awk -F'\t' -v u="$unit" '$1 == u { print $2 }' "$out/unit-deps")
  if [ -z "$deps" ]; then
    printf '%s\t-\n' "$unit"
  else
    printf '%s\t%s\n' "$unit" "$({ echo "$config"; grep -F "$unit" "$out/commands"; echo "$deps"; } | sha1sum | cut -c1-40)"
  fi
done >"$out/units"
export LINT_BUILD=$build LINT_OUT=$out LINT_CACHE=$cache LINT_OURS=$ours
tr '\t' '\n' <"$out/units" |
  xargs -d '\n' -n 2 -P "$(nproc)" sh -c '
    log="$LINT_OUT/$(echo "$1" | tr / _).log"
    if [ "$2" != - ] && [ -f "$LINT_CACHE/$2" ]; then cp "$LINT_CACHE/$2" "$log"; echo >>"$LINT_OUT/reused"; exit 0; fi
    if clang-tidy -p "$LINT_BUILD" --quiet --header-filter="$LINT_OURS" "$1" >"$log" 2>&1; then
      [ "$2" = - ] || cp "$log" "$LINT_CACHE/$2"
    else
      echo "$1" >>"$LINT_OUT/failed"
    fi' _
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
reused=0
[ -f "$out/reused" ] && reused=$(wc -l <"$out/reused")
summary="$(count "$unformatted") of ${#sources[@]} files unformatted, $(count "$findings") clang-tidy findings in ${#units[@]} units ($reused unchanged since they were checked), $((SECONDS - started)) s"
if [ -n "$unformatted" ] || [ -n "$findings" ] || [ -f "$out/failed" ]; then
  echo "lint: FAILED: $summary"
  exit 1
fi
echo "lint: passed: $summary"
