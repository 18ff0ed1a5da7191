#!/usr/bin/env bash
# Checks a built pixtagger.dll from the outside, since the 32-bit product cannot
# run here: exactly the expected exports at their ordinals, each returning with
# `ret N` (4 bytes per parameter, i686 only; found through the export table
# and the unwind tables, so a DLL without symbols passes too), no imports beyond Windows system
# DLLs, the dialog templates in Japanese (type 5, language 1041) and the
# manifest as resource type 24, id 2, language 1033, with no version resource.
# Usage: check_dll.sh OBJDUMP DLL
set -euo pipefail

objdump=$1
dll=$2

# ordinal name argument-bytes: the host's fixed table.
expected="1 acConfigDlg 8
2 acGetAC 8
3 acGetAttName 8
4 acGetAttNum 4
5 acGetCatPath 8
6 acGetRequireOfPIState 0
7 acGetSummary 0
8 acGetVersion 0
9 acLoadConfig 4
10 acReleaseAC 4
11 acReleaseConfig 4
12 acSaveConfig 8"

allowed_imports="kernel32.dll user32.dll msvcrt.dll"
# The dialogs need USER32; the common controls are the host's to load.
required_imports="kernel32.dll user32.dll"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$("$objdump" -p "$dll")
is_i686=0
grep -q 'file format pei-i386$' < <("$objdump" -f "$dll") && is_i686=1

image_base=$(awk '$1 == "ImageBase" { print $2; exit }' <<<"$headers")
ordinal_base=$(sed -n "s/.*Export Address Table -- Ordinal Base \([0-9]*\).*/\1/p" <<<"$headers" | head -n 1)
[ -n "$ordinal_base" ] || { fail "no export table"; exit 1; }

# "[ i] +base[ ord] rva Export RVA" lines give each ordinal's address.
declare -A rva_of
while read -r ord rva; do rva_of[$ord]=$rva; done < <(
  sed -n 's/^\s*\[\s*[0-9]*\] +base\[\s*\([0-9]*\)\] \([0-9a-f]*\) Export RVA.*/\1 \2/p' <<<"$headers")

# "[ i] name" lines of the name table: i is the ordinal less the base.
actual=$(awk -v base="$ordinal_base" '
  /Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && NF == 0 { on = 0 }
  on { line = $0; gsub(/[\[\]]/, " ", line); split(line, f, " "); print f[1] + base, f[2] }' <<<"$headers" | sort -n)
want=$(awk '{ print $1, $2 }' <<<"$expected" | sort -n)
if [ "$actual" != "$want" ]; then
  fail "export table differs"
  diff <(echo "$want") <(echo "$actual") | sed 's/^/  /' || true
fi

# Where each function ends, from the unwind tables that even a DLL stripped of
# its symbols keeps: the .eh_frame entries on i686 (DWARF unwinding), the
# .pdata function table on x86_64.
declare -A end_of
while read -r from to; do end_of[$((16#$from))]=$((16#$to)); done < <(
  "$objdump" --dwarf=frames "$dll" | sed -n 's/.* FDE cie=[0-9a-f]* pc=\([0-9a-f]*\)\.\.\([0-9a-f]*\)$/\1 \2/p'
  sed -n '/^The Function Table/,/^$/ s/^ *[0-9a-f]*:\s*\([0-9a-f]*\) \([0-9a-f]*\) [0-9a-f]*$/\1 \2/p' <<<"$headers")

# Every return of each export pops exactly its own arguments.
while read -r ord name bytes; do
  rva=${rva_of[$ord]:-}
  [ -n "$rva" ] || { fail "$name: no address at ordinal $ord"; continue; }
  start=$((0x$image_base + 0x$rva))
  stop=${end_of[$start]:-}
  [ -n "$stop" ] || { fail "$name: no unwind entry gives the end of its code"; continue; }
  body=$("$objdump" -d --no-show-raw-insn --start-address="$start" --stop-address="$stop" "$dll")
  rets=$(grep -oE '\sret[lq]?(\s+\$0x[0-9a-f]+)?\s*$' <<<"$body" | sed 's/^\s*//; s/\s*$//' | sort -u || true)
  if [ "$is_i686" = 1 ] && [ "$bytes" != 0 ]; then
    want_ret="ret \$0x$(printf '%x' "$bytes")"
  else
    want_ret="ret"
  fi
  got=$(sed -E 's/^ret[lq]?/ret/; s/\s+/ /g' <<<"$rets")
  [ "$got" = "$want_ret" ] || fail "$name returns with '${got//$'\n'/, }', expected '$want_ret'"
done <<<"$expected"

# Imports: the runtime is linked in, so only system DLLs may appear.
while read -r imported; do
  lower=$(tr 'A-Z' 'a-z' <<<"$imported")
  [[ " $allowed_imports " == *" $lower "* ]] || fail "imports $imported"
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z')
for dll_name in $required_imports; do
  grep -qx "$dll_name" <<<"$imports" || fail "does not import $dll_name"
done

# Resources, as "type id language": the list's and the editor's templates
# (101, 105) and the manifest, nothing else.
expected_resources="5 101 1041
5 105 1041
24 2 1033"
# Entries nest by indentation: type, then id, then language.
resources=$(awk '
  /Resource Directory section/ { on = 1; next }
  on && match($0, /^[0-9a-f]+ +Entry: ID: 0x[0-9a-f]+/) {
    entry = substr($0, 1, RLENGTH); id = entry; sub(/.*0x/, "", id)
    indent = index(entry, "Entry") - index(entry, " ")
    if (indent <= 3) type = id; else if (indent <= 5) name = id; else print type, name, id
  }' <<<"$headers" | while read -r t n l; do echo "$((16#$t)) $((16#$n)) $((16#$l))"; done)
[ "$resources" = "$expected_resources" ] ||
  fail "resources are '${resources//$'\n'/; }', expected '${expected_resources//$'\n'/; }'"

# The text column of the dump follows the address and four groups of hex.
manifest=$("$objdump" -s -j .rsrc "$dll" | awk 'NR > 4 && match($0, /^ [0-9a-f]+ /) { print substr($0, RLENGTH + 38) }' | tr -d '\n')
for needle in 'asInvoker' 'uiAccess="false"'; do
  [[ "$manifest" == *"$needle"* ]] || fail "manifest lacks $needle"
done

if [ "$failures" -ne 0 ]; then
  echo "check_dll: $dll: $failures failure(s)"
  exit 1
fi
echo "check_dll: $dll: $(wc -l <<<"$expected") exports, imports and resources as expected"
