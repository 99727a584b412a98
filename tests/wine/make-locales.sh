#!/usr/bin/env bash
# Compiles the C library's locales that the language tests run Wine in into
# DIR, which the tests give the C library as LOCPATH: Wine takes Windows'
# languages and code page from the locale only when the C library knows
# it, and the machine need not have any installed. Those already there are
# kept.
#   make-locales.sh DIR LOCALE...   (LOCALE as de_DE, compiled as UTF-8)
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 DIR LOCALE..." >&2; exit 2; }
dir=$1
shift
mkdir -p "$dir"
for locale in "$@"; do
  [ -d "$dir/$locale.UTF-8" ] && continue
  if ! localedef -i "$locale" -f UTF-8 "$dir/$locale.UTF-8"; then
    echo "make-locales: cannot compile $locale (the sources are in Debian's package locales)" >&2
    exit 1
  fi
done
echo "make-locales: $* in $dir"
