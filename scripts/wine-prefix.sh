#!/usr/bin/env bash
# Makes sure $QEX_WINEPREFIX is an initialised prefix. Safe to call from
# parallel tests: the first caller initialises, the others wait for it.
# Extra set-up steps (drive letters, the recording "http" handler, ...) are
# the scripts in scripts/wine-prefix.d/, run once in name order.
set -eu
: "${QEX_WINEPREFIX:?}"
: "${QEX_SOURCE_DIR:=$(cd "$(dirname "$0")/.." && pwd)}"
source "$QEX_SOURCE_DIR/scripts/wine-env.sh"
[ -f "$QEX_WINEPREFIX/.qex-ready" ] && exit 0
mkdir -p "$(dirname "$QEX_WINEPREFIX")"
exec 9>"$QEX_WINEPREFIX.lock"
flock 9
[ -f "$QEX_WINEPREFIX/.qex-ready" ] && exit 0
wineboot -i >/dev/null 2>&1 || { echo "wine-prefix: wineboot failed for $QEX_WINEPREFIX" >&2; exit 1; }
for hook in "$QEX_SOURCE_DIR"/scripts/wine-prefix.d/*.sh; do
  [ -e "$hook" ] || continue
  bash "$hook" || { echo "wine-prefix: $hook failed" >&2; exit 1; }
done
wineserver -w
touch "$QEX_WINEPREFIX/.qex-ready"
