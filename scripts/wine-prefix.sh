#!/usr/bin/env bash
# Makes sure $QEX_WINEPREFIX is an initialised prefix. Safe to call from
# parallel tests: the first caller initialises, the others wait for it.
# Two steps: wineboot (the long one, needs nothing of the build), then the
# set-up steps that use the tree's programs (drive letters, the recording
# "http" handler, the control's registration: the scripts in
# scripts/wine-prefix.d/, run once in name order).
#   wine-prefix.sh            both steps, as far as not done yet
#   wine-prefix.sh --boot     wineboot only, so that a build can go on meanwhile
set -eu
: "${QEX_WINEPREFIX:?}"
: "${QEX_SOURCE_DIR:=$(cd "$(dirname "$0")/.." && pwd)}"
source "$QEX_SOURCE_DIR/scripts/wine-env.sh"
[ -f "$QEX_WINEPREFIX/.qex-ready" ] && exit 0
mkdir -p "$(dirname "$QEX_WINEPREFIX")"
exec 9>"$QEX_WINEPREFIX.lock"
flock 9
[ -f "$QEX_WINEPREFIX/.qex-ready" ] && exit 0
if [ ! -f "$QEX_WINEPREFIX/.qex-booted" ]; then
  wineboot -i >/dev/null 2>&1 || { echo "wine-prefix: wineboot failed for $QEX_WINEPREFIX" >&2; exit 1; }
  wineserver -w
  touch "$QEX_WINEPREFIX/.qex-booted"
fi
[ "${1:-}" = --boot ] && exit 0
for hook in "$QEX_SOURCE_DIR"/scripts/wine-prefix.d/*.sh; do
  [ -e "$hook" ] || continue
  bash "$hook" || { echo "wine-prefix: $hook failed" >&2; exit 1; }
done
wineserver -w
touch "$QEX_WINEPREFIX/.qex-ready"
