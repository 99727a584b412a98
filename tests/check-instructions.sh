#!/usr/bin/env bash
# Checks that the built plug-in, the runtimes linked into it included, uses
# no instruction that the host's processors lack: the hosts ran on Pentium
# II and III and Athlon machines, which have no SSE2, and the Pentium II
# has no SSE. Any xmm (or wider) register, any MMX register, and any of the
# SSE, SSE2 and SSE3 instructions that name neither fails, with the
# function it was found in.
#   check-instructions.sh PLUGIN.fmx
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PLUGIN.fmx" >&2; exit 2; }
dll=$1
listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
i686-w64-mingw32-objdump -d -C --no-show-raw-insn "$dll" >"$listing"

# SSE, SSE2 and SSE3 instructions without an xmm operand: the MXCSR, cache
# and ordering instructions, the SSE integer forms on MMX registers, and
# SSE3's truncating store and thread monitor.
mnemonics='ldmxcsr|stmxcsr|prefetchnta|prefetcht[012]|[slm]fence|clflush|movnti|movntq|maskmovq|pshufw|pavg[bw]|pextrw|pinsrw|pmaxsw|pmaxub|pminsw|pminub|pmovmskb|pmulhuw|psadbw|fisttp[sl]*|lddqu|monitor|mwait'

found=$(awk -v mn="^(${mnemonics})\$" '
  /^[0-9a-f]+ <.*>:$/ { fn = $0; sub(/^[0-9a-f]+ </, "", fn); sub(/>:$/, "", fn); next }
  /^ *[0-9a-f]+:\t/ {
    ++count
    split($0, part, "\t")
    insn = part[2]
    split(insn, word, " ")
    if (insn ~ /%[xyz]mm[0-9]|%mm[0-7]/ || word[1] ~ mn)
      printf "%s: %s\n", (fn == "" ? "?" : fn), insn
  }
  END { printf "instructions %d\n", count > "/dev/stderr" }
' "$listing" 2>"$listing.count")
total=$(sed -n 's/^instructions //p' "$listing.count")
rm -f "$listing.count"

# A listing without code would pass whatever the build did.
if [ "${total:-0}" -lt 1000 ]; then
  echo "FAIL: only ${total:-0} instructions disassembled from $dll"
  exit 1
fi
if ! grep -q '<_*FMExternCallProc[(>]' "$listing"; then
  echo "FAIL: no FMExternCallProc in the disassembly of $dll"
  exit 1
fi
if [ -n "$found" ]; then
  echo "FAIL: $(wc -l <<<"$found") instructions the host's processors may lack" \
    "(SSE, SSE2, SSE3 or MMX), in these functions:"
  sed 's/: [^:]*$//' <<<"$found" | sort | uniq -c | sort -rn | head -n 40
  echo "the first of them:"
  head -n 10 <<<"$found"
  exit 1
fi
echo "ok: $total instructions, none of SSE, SSE2, SSE3 or MMX"
