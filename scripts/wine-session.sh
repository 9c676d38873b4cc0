#!/usr/bin/env bash
# Sourced by the test runner: a headless Wine session with its own prefix in
# the cache folder and an Xvfb display. Call wine_session_start, then
# wine_session_stop when done.

wine_session_start() {
  local cache
  cache="$(dirname "$("$(dirname "${BASH_SOURCE[0]}")/win-deps-dir.sh")")"
  # VANTREL_WINEPREFIX lets several sessions run side by side.
  export WINEPREFIX="${VANTREL_WINEPREFIX:-$cache/wineprefix-$(id -un)}"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$(dirname "$WINEPREFIX")"

  # A free display number for Xvfb.
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
  WINE_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || true
  # Start Wine's background services now, with their output detached: a
  # service started by a test would inherit the test's pipes and keep the
  # test runner waiting for them to close.
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
}

wine_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${WINE_XVFB_PID:-}" ]; then
    kill "$WINE_XVFB_PID" >/dev/null 2>&1 || true
    wait "$WINE_XVFB_PID" 2>/dev/null || true
  fi
}
