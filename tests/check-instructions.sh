#!/usr/bin/env bash
# Checks that the built plug-in, as linked (libgcc's helpers included),
# uses only the i486's instructions, so that it runs on every processor the
# host ran on: the 486 with its FPU, the Pentium and Pentium MMX, AMD's K5
# and K6 and Cyrix's chips. Fails with the function each was found in on
#  - the Pentium Pro's: CMOVcc, FCMOVcc, FCOMI, FCOMIP, FUCOMI, FUCOMIP,
#    RDPMC and the long NOP (0F 1F);
#  - the Pentium's: RDTSC, CMPXCHG8B, CPUID, RDMSR/WRMSR;
#  - the fast system calls (SYSENTER, SYSEXIT, SYSCALL, SYSRET);
#  - MMX and 3DNow! (any mm register, EMMS, FEMMS), and SSE to SSE3 (any
#    xmm or wider register, FXSAVE/FXRSTOR, and those naming none).
#   check-instructions.sh PLUGIN.fmx | LISTING.dis
# A LISTING.dis is objdump -d's output, the check's own known-bad input
# (tests/known-bad/).
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PLUGIN.fmx|LISTING.dis" >&2; exit 2; }
dll=$1
listing=$(mktemp)
trap 'rm -f "$listing" "$listing.count" "$listing.symbols"' EXIT
case "$dll" in
*.dis) cp "$dll" "$listing" ;;
*)
  # The shipped DLL is stripped: its functions are named from the symbols
  # in the file beside it, each heading put before its first instruction
  # as objdump puts them (addresses of eight hex digits compare as text).
  symbols=$("$(dirname "$0")/debug-symbols.sh" "$dll")
  text=$(i686-w64-mingw32-objdump -h "$dll" | awk '$2 == ".text" {print $4}')
  i686-w64-mingw32-objdump -t "$symbols" |
    awk '/\(sec +1\)/ && /\(ty +20\)/ {print $(NF-1), $NF}' |
    while read -r value name; do
      printf '%08x %s\n' $((0x$text + value)) "$name"
    done | sort | i686-w64-mingw32-c++filt >"$listing.symbols"
  i686-w64-mingw32-objdump -d --no-show-raw-insn "$dll" |
    awk 'NR == FNR { at[++n] = $1; sub(/^[^ ]+ /, ""); name[n] = $0; next }
      /^ *[0-9a-f]+:\t/ {
        a = $1; sub(/:$/, "", a)
        while (length(a) < 8) a = "0" a
        while (i < n && at[i + 1] <= a) { ++i; printf "%s <%s>:\n", at[i], name[i] }
      }
      { print }' "$listing.symbols" - >"$listing"
  ;;
esac

newer='cmov[a-z]+|fcmov[a-z]+|fu?comip?|rdtscp?|rdpmc|rdmsr|wrmsr|cmpxchg8b|cpuid|sysenter|sysexit|syscall|sysret|nop[wl]|fxsave|fxrstor|emms|femms'
# SSE, SSE2 and SSE3 instructions without an xmm operand: the MXCSR, cache
# and ordering instructions, the SSE integer forms on MMX registers, and
# SSE3's truncating store and thread monitor.
sse='ldmxcsr|stmxcsr|prefetchnta|prefetcht[012]|[slm]fence|clflush|movnti|movntq|maskmovq|pshufw|pavg[bw]|pextrw|pinsrw|pmaxsw|pmaxub|pminsw|pminub|pmovmskb|pmulhuw|psadbw|fisttp[sl]*|lddqu|monitor|mwait'
prefixes='^(lock|rep|repz|repnz|repe|repne|data16|addr16|data32|addr32|cs|ds|es|ss|fs|gs|notrack|bnd)$'

found=$(awk -v mn="^(${newer}|${sse})\$" -v pre="$prefixes" '
  /^[0-9a-f]+ <.*>:$/ { fn = $0; sub(/^[0-9a-f]+ </, "", fn); sub(/>:$/, "", fn); next }
  /^ *[0-9a-f]+:\t/ {
    ++count
    split($0, part, "\t")
    insn = part[2]
    n = split(insn, word, " ")
    op = word[1]
    for (i = 1; i < n && word[i] ~ pre; ++i)
      op = word[i + 1]
    if (insn ~ /%[xyz]mm[0-9]|%mm[0-7]/ || op ~ mn)
      printf "%s: %s\n", (fn == "" ? "?" : fn), insn
  }
  END { printf "instructions %d\n", count > "/dev/stderr" }
' "$listing" 2>"$listing.count")
total=$(sed -n 's/^instructions //p' "$listing.count")

if [ -n "$found" ]; then
  echo "FAIL: $(wc -l <<<"$found") instructions the i486 lacks," \
    "in these functions:"
  sed 's/: [^:]*$//' <<<"$found" | sort | uniq -c | sort -rn | head -n 40
  echo "the first of them:"
  head -n 20 <<<"$found"
  exit 1
fi
# A listing without code would pass whatever the build did.
if [ "${total:-0}" -lt 1000 ]; then
  echo "FAIL: only ${total:-0} instructions disassembled from $dll"
  exit 1
fi
if ! grep -q '<_*FMExternCallProc[(>]' "$listing"; then
  echo "FAIL: no FMExternCallProc in the disassembly of $dll"
  exit 1
fi
echo "ok: $total instructions, all of them the i486's"
