#!/usr/bin/env bash
# Checks the built plug-in as the host will see it: its export directory,
# no TLS directory, no debug sections or symbol table, imports from
# KERNEL32, USER32 and GDI32 alone, the oldest Windows each import names
# (tests/plugin-imports.txt, or the list ORBT_PLUGIN_IMPORTS names), the
# system version its header asks for, and its hardening flags.
#   check-dll.sh PLUGIN.fmx | HEADERS.dump
# A HEADERS.dump is objdump -f -p -h's output with the constructor list's
# symbols from objdump -t, the check's own known-bad input
# (tests/known-bad/).
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PLUGIN.fmx|HEADERS.dump" >&2; exit 2; }
dll=$1
case "$dll" in
*.dump) dump=$(cat "$dll") ;;
*)
  # A stripped DLL's symbols are in the file beside it that it names.
  symbols=$("$(dirname "$0")/debug-symbols.sh" "$dll")
  dump=$(i686-w64-mingw32-objdump -f -p -h "$dll"
    i686-w64-mingw32-objdump -t "$symbols" 2>/dev/null | grep -E ' _?__[CD]TOR_LIST__$' || true)
  ;;
esac
fail=0
check() { # what, got, expected
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: got '$2', expected '$3'"
    fail=1
  else
    echo "ok: $1: $2"
  fi
}

check "file format" "$(sed -n 's/.*file format \(.*\)/\1/p' <<<"$dump" | head -1)" "pei-i386"
check "export name" "$(sed -n 's/^Name[[:space:]]*[0-9a-f]* //p' <<<"$dump" | head -1)" "Orbitrace.FMX"
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1;next} on&&/^[[:space:]]*\[/{print $NF; next} on&&!/^[[:space:]]*\[/{on=0}' <<<"$dump" | sort | tr '\n' ' ')
check "exports" "${exports% }" "FMExternCallProc"
# Windows 95 fails to load a DLL with static TLS (ERROR_DLL_INIT_FAILED):
# the directory must be empty.
tls=$(awk '/Thread Storage Directory/ {print $3 " " $4}' <<<"$dump")
check "TLS directory (address, size)" "${tls:-none}" "00000000 00000000"
# The plug-in's own entry point runs no static constructor, so there must
# be none: the list holds only its two end markers (8 bytes).
ctor=$(awk '$NF == "___CTOR_LIST__" {print $(NF-1)}' <<<"$dump")
dtor=$(awk '$NF == "___DTOR_LIST__" {print $(NF-1)}' <<<"$dump")
ctors="no symbols"
[ -z "$ctor" ] || [ -z "$dtor" ] || ctors="$((dtor - ctor)) bytes"
check "static constructor list" "$ctors" "8 bytes"
# Windows 9x reads the whole file into memory at load: debug information
# and symbols belong in the file beside it, not in the DLL.
fileflags=$(awk '/^architecture: .*flags/ {getline; print; exit}' <<<"$dump")
syms="none"
[ -n "$fileflags" ] || syms="not in the dump (objdump -f)"
grep -q HAS_SYMS <<<"$fileflags" && syms="present"
check "symbol table" "$syms" "none"
debug="none"
grep -q '^Sections:' <<<"$dump" || debug="not in the dump (objdump -h)"
names=$(awk '/^Sections:/{on=1; next} on && $1 ~ /^[0-9]+$/ && $2 ~ /^\.debug/ {print $2}' <<<"$dump" | tr '\n' ' ')
[ -z "$names" ] || debug="${names% }"
check "debug sections" "$debug" "none"
# Windows 95 as first shipped has no msvcrt.dll; the three system DLLs are
# on every Windows.
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '[:upper:]' '[:lower:]' | sort -u | tr '\n' ' ')
for lib in $imports; do
  case "$lib" in
  kernel32.dll | user32.dll | gdi32.dll) ;;
  *) echo "FAIL: imports $lib, which not every Windows 95 has"; fail=1 ;;
  esac
done
echo "imports: $imports"
# How many imports name each oldest Windows, in either documentation.
tally() { # column
  awk -v c="$1" 'NR==FNR { if ($0 !~ /^#/ && NF) v[$1 " " $2] = $c; next }
    { n[v[$1 " " $2]]++ }
    END { for (k in n) printf " %s (%d)", (k == "-" ? "none" : k), n[k] }' \
    "$listed" <(echo "$got")
}
# Every import has its oldest Windows looked up (tests/plugin-imports.txt).
listed=${ORBT_PLUGIN_IMPORTS:-$(dirname "$0")/plugin-imports.txt}
# The import tables end where objdump's next heading begins at column 0.
got=$(awk '/DLL Name:/{dll=tolower($3); next} /^[A-Za-z]/{dll=""}
  dll!="" && NF>=3 && $1 ~ /^[0-9a-f]+$/ && $3 !~ /^0+$/ {print dll, $3}' <<<"$dump" | sort -u)
known=$(grep -v '^#' "$listed" | awk 'NF{print $1, $2}' | sort -u)
missing=$(comm -23 <(echo "$got") <(echo "$known"))
if [ -n "$missing" ]; then
  echo "FAIL: imports not in $(basename "$listed"), whose oldest Windows is not looked up:"
  sed 's/^/  /' <<<"$missing"
  fail=1
else
  echo "ok: $(wc -l <<<"$got") imports, each listed; oldest Windows in" \
    "today's documentation:$(tally 3); in the MSDN Library of their time:$(tally 4)"
fi
# The host runs on Windows 95 and NT 4.0: an import that came later would
# keep the plug-in from loading there.
late=$(awk 'NR==FNR { if ($0 !~ /^#/ && NF) v[$1 " " $2] = $4; next }
  ($1 " " $2) in v && v[$1 " " $2] !~ /^95\/NT(3\.1|3\.5|4\.0)$/ {
    print "  " $1, $2, "needs", v[$1 " " $2] }' "$listed" <(echo "$got"))
if [ -n "$late" ]; then
  echo "FAIL: imports newer than Windows 95 and NT 4.0:"
  echo "$late"
  fail=1
fi
stale=$(comm -13 <(echo "$got") <(echo "$known"))
[ -z "$stale" ] || echo "note: listed but no longer imported: $(tr '\n' ' ' <<<"$stale")"
# Loaders before Windows 2000 refuse an image that asks for a newer system.
check "OS version" "$(sed -n 's/^MajorOSystemVersion[[:space:]]*//p' <<<"$dump").$(sed -n 's/^MinorOSystemVersion[[:space:]]*//p' <<<"$dump")" "4.0"
check "subsystem version" "$(sed -n 's/^MajorSubsystemVersion[[:space:]]*//p' <<<"$dump").$(sed -n 's/^MinorSubsystemVersion[[:space:]]*//p' <<<"$dump")" "4.0"
flags=$(sed -n 's/^DllCharacteristics[[:space:]]*//p' <<<"$dump" | head -1)
flags=$((16#$flags))
check "DYNAMIC_BASE" "$(( (flags & 0x40) != 0 ))" 1
check "NX_COMPAT" "$(( (flags & 0x100) != 0 ))" 1
if [ "$fail" -ne 0 ]; then
  echo "1 of the plug-in checks failed"
  exit 1
fi
echo "every plug-in check passed"
