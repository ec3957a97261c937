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
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "$0")/../.." && pwd)/build/wineprefix}"
. "$(dirname "$0")/../e2e/lib.sh"
e2e_start_xvfb || exec "$@"
# Wine picks its window system when its server starts: a server that earlier
# programs started without a display would keep this one window-less too,
# and one started on this Xvfb must not outlive it. So the Wine server is
# stopped before and after the command (the test runs alone).
stop_wine() { e2e_stop_wine; wineserver -w >/dev/null 2>&1 || true; }
stop_wine
trap 'stop_wine; e2e_stop_xvfb' EXIT
"$@"
