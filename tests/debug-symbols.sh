#!/usr/bin/env bash
# Prints the file that holds the symbols of the built plug-in: the file its
# .gnu_debuglink names, beside it, for the stripped DLL; else the DLL itself.
#   debug-symbols.sh PLUGIN.fmx
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PLUGIN.fmx" >&2; exit 2; }
dll=$1
# The name ends at the first zero byte; objdump -s shows the section's
# bytes in columns 11 to 45.
hex=$(i686-w64-mingw32-objdump -s -j .gnu_debuglink "$dll" 2>/dev/null |
  grep -E '^ [0-9a-f]{8} ' | cut -c11-45 | tr -d ' \n' || true)
if [ -z "$hex" ]; then
  echo "$dll"
else
  echo "$(dirname "$dll")/$(printf "$(fold -w2 <<<"$hex" | sed '/^00$/,$d; s/^/\\x/' | tr -d '\n')")"
fi
