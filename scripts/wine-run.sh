#!/usr/bin/env bash
# Runs one Windows program under Wine the way the tests need it: a private
# prefix (initialised on first use), no Wine debug noise, code page 936 from
# the zh_CN.UTF-8 locale, and an X display (a virtual one when none is set).
set -eu
: "${QEX_WINEPREFIX:?QEX_WINEPREFIX names the prefix}"
: "${QEX_SOURCE_DIR:=$(cd "$(dirname "$0")/.." && pwd)}"
export QEX_SOURCE_DIR
source "$QEX_SOURCE_DIR/scripts/wine-env.sh"
if [ "${QEX_TREE:-}" = win32 ] && [ "$QEX_WINE_32BIT" = 0 ]; then
  # 77: the tests' "skipped" code.
  echo "wine-run: this machine's kernel runs no 32-bit programs (ia32 emulation is off):" \
       "$(basename "${1:-?}") of the win32 tree not run" >&2
  exit 77
fi
"$QEX_SOURCE_DIR/scripts/wine-prefix.sh"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec wine "$@"
