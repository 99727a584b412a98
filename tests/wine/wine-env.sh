#!/usr/bin/env bash
# Starts or stops the Wine environment of a test run: one Xvfb and one
# persistent wineserver over a prefix kept in STATE_DIR (never ~/.wine), with
# the display's colour depth (8, 16 or 24 bits) and logical dpi (96, 120 or
# 144, as a clinic's 100, 125 or 150 % displays) asked for.
#   wine-env.sh start STATE_DIR [DEPTH [DPI]]
#   wine-env.sh stop STATE_DIR
set -euo pipefail

usage() { echo "usage: $0 start|stop STATE_DIR [DEPTH [DPI]]" >&2; exit 2; }
[ $# -ge 2 ] || usage
action=$1 depth=${3:-24} dpi=${4:-96}
case "$depth" in 8 | 16 | 24) ;; *) echo "wine-env: depth $depth: use 8, 16 or 24" >&2; exit 2 ;; esac
case "$dpi" in 96 | 120 | 144) ;; *) echo "wine-env: dpi $dpi: use 96, 120 or 144" >&2; exit 2 ;; esac
state=$(realpath -m "$2") # Wine wants an absolute prefix
prefix=$state/prefix

case "$action" in
start)
  mkdir -p "$state"
  # A run that was cut short may have left its server and display behind.
  "$0" stop "$state" >/dev/null 2>&1 || true

  # Background processes must not hold the caller's output open, or CTest
  # would wait for them.
  rm -f "$state/display"
  Xvfb -displayfd 3 -screen 0 "1024x768x$depth" -nolisten tcp \
    3>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
  xpid=$!
  for _ in $(seq 200); do
    [ -s "$state/display" ] && break
    kill -0 "$xpid" 2>/dev/null || break
    sleep 0.1
  done
  display=$(tr -d '[:space:]' <"$state/display" 2>/dev/null || true)
  if [ -z "$display" ]; then
    echo "wine-env: Xvfb did not start; see $state/xvfb.log" >&2
    exit 1
  fi
  echo "$xpid" >"$state/xvfb.pid"
  export DISPLAY=":$display" WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i </dev/null >"$state/wineboot.log" 2>&1
    wineserver -w
  fi
  # Without a window manager Wine would wait 2 s for every hidden window.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  # Read when the server starts, so set before the persistent one.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
  wineserver -w
  wineserver -p </dev/null >"$state/wineserver.log" 2>&1
  {
    echo "export DISPLAY=:$display"
    echo "export WINEPREFIX=$prefix"
    echo "export WINEDEBUG=-all"
    echo "export WINEDLLOVERRIDES=mscoree,mshtml="
  } >"$state/env"
  echo "wine-env: display :$display (depth $depth, $dpi dpi), prefix $prefix"
  ;;
stop)
  if [ -f "$state/env" ]; then
    # shellcheck disable=SC1091
    . "$state/env"
    wineserver -k >/dev/null 2>&1 || true
    rm -f "$state/env"
  fi
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" >/dev/null 2>&1 || true
    rm -f "$state/xvfb.pid"
  fi
  ;;
*) usage ;;
esac
