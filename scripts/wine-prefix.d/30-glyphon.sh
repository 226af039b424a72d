#!/usr/bin/env bash
# A test prefix is a machine with the client installed: the tree's
# Glyphon.ocx is registered, so the client's handwriting dialog can create
# the control. A tree without the control (or not yet built) is left alone.
set -eu
: "${WINEPREFIX:?}"
build_dir=${QEX_BUILD_DIR:-$(dirname "$WINEPREFIX")}
ocx="$build_dir/bin/Glyphon.ocx"
[ -f "$ocx" ] || exit 0
path=$(printf 'Z:%s' "$ocx" | sed 's|/|\\|g')
wine regsvr32 /s "$path" >/dev/null 2>&1 || echo "wine-prefix: could not register $path" >&2
exit 0
