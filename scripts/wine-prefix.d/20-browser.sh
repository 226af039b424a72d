#!/usr/bin/env bash
# No real browser ever opens from a test prefix. The "http" and "https"
# handlers are our recorder (tests/wine/recorder), which writes its
# arguments to a log and exits; the recorder also stands in for Internet
# Explorer (the client's fallback when no handler is registered); whatever
# still reaches Wine's winebrowser (which would hand the URL to the desktop's
# xdg-open) goes to a recording shell script instead.
set -eu
: "${WINEPREFIX:?}"
: "${QEX_SOURCE_DIR:?}"
build_dir=${QEX_BUILD_DIR:-$(dirname "$WINEPREFIX")}

# Drive Z: is the Unix root, so a Unix path becomes Z: plus the path.
to_windows() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
# Backslashes and quotes doubled-up the way .reg files want them.
reg_quote() { printf '%s' "$1" | sed 's|\\|\\\\|g; s|"|\\"|g'; }

recorder=$(to_windows "$build_dir/bin/qexrecorder.exe")
command=$(reg_quote "\"$recorder\" \"%1\"")
fallback=$(reg_quote "$QEX_SOURCE_DIR/tests/wine/recorder/unix-browser.sh")

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
{
  echo 'REGEDIT4'
  for proto in http https; do
    echo
    echo "[-HKEY_CLASSES_ROOT\\$proto\\shell\\open\\ddeexec]"
    echo
    echo "[HKEY_CLASSES_ROOT\\$proto\\shell\\open\\command]"
    echo "@=\"$command\""
  done
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine\DllOverrides]'
  echo '"iexplore.exe"="native"'
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine\WineBrowser]'
  echo "\"Browsers\"=\"$fallback\""
  echo "\"Mailers\"=\"$fallback\""
} > "$reg"
wine regedit /S "$(to_windows "$reg")"
wineserver -w

# Wine's own iexplore.exe is a placeholder for its built-in one; with the
# override above, the program file in its place is what runs.
if [ -f "$build_dir/bin/qexrecorder.exe" ]; then
  for pf in "Program Files" "Program Files (x86)"; do
    ie="$WINEPREFIX/drive_c/$pf/Internet Explorer"
    mkdir -p "$ie"
    cp "$build_dir/bin/qexrecorder.exe" "$ie/iexplore.exe"
  done
else
  echo "wine-prefix: $build_dir/bin/qexrecorder.exe not built; Internet Explorer left as it is" >&2
fi
