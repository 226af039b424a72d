#!/usr/bin/env bash
# Runs one Windows program under Wine the way the tests need it: a private
# prefix (initialised on first use), no Wine debug noise, code page 936 from
# the zh_CN.UTF-8 locale, and an X display (a virtual one when none is set).
set -eu
: "${QEX_WINEPREFIX:?QEX_WINEPREFIX names the prefix}"
: "${QEX_SOURCE_DIR:=$(cd "$(dirname "$0")/.." && pwd)}"
export QEX_SOURCE_DIR
source "$QEX_SOURCE_DIR/scripts/wine-env.sh"
"$QEX_SOURCE_DIR/scripts/wine-prefix.sh"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec wine "$@"
