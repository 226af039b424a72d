#!/usr/bin/env bash
# Wine's winebrowser runs this instead of the desktop's browser in a test
# prefix. Same log as the recorder; the mark tells which path the URL took.
log=${QEX_BROWSER_LOG:-${WINEPREFIX:-$HOME/.wine}/drive_c/qex-browser.log}
printf '[winebrowser] %s\n' "$*" >> "$log"
