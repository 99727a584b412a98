#!/usr/bin/env bash
# Checks the rule by which the plug-in's rooms tell their files apart: only a
# unit named *_win may include a Windows header or another *_win header; every
# other file is a pure computation that the native build compiles and the
# unit tests run. A break is named where it was made, not as an error of the
# native build far from it.
#   check-pure.sh [SOURCE_ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
rooms=()
for room in host sketch dialog render export cli; do
  [ -d "$room" ] && rooms+=("$room")
done
bad=$(find "${rooms[@]}" \( -name '*.cpp' -o -name '*.h' \) ! -name '*_win.*' -print0 |
  sort -z | xargs -0 -r grep -nHiE \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*(<(windows|windowsx|winuser|wingdi|winbase|commctrl|psapi|shellapi)\.h>|"[^"]*_win\.h")' ||
  true)
if [ -n "$bad" ]; then
  echo "FAIL: a pure file includes Windows code (name it *_win, or move the Win32 part out):"
  sed 's/^/  /' <<<"$bad"
  exit 1
fi
echo "ok: $(find "${rooms[@]}" \( -name '*.cpp' -o -name '*.h' \) ! -name '*_win.*' | wc -l) pure files, none includes Windows code"
