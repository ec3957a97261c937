#!/usr/bin/env bash
# Runs a command with DISPLAY on a private X server (Xvfb) that lives only
# as long as the command, so window tests under Wine get real windows.
# Without Xvfb the command runs as it is (the window tests then skip).
#
#   run_with_xvfb.sh COMMAND [ARGS...]
set -uo pipefail
if ! command -v Xvfb >/dev/null; then
  exec "$@"
fi
display=
for n in $(seq 140 199); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=$n
    break
  fi
done
if [ -z "$display" ]; then
  exec "$@"
fi
# Wine picks its window system when its server starts: a server that earlier
# programs started without a display would keep this one window-less too,
# and one started on this Xvfb must not outlive it. So the Wine server is
# stopped before and after the command (tests run one after another).
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/discinstall-wine-$(id -u)}"
stop_wine() { wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1 || true; }
stop_wine
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'stop_wine; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
DISPLAY=":$display" "$@"
