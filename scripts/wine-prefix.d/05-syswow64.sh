#!/usr/bin/env bash
# A prefix made by Wine's 64-bit loader alone (on a kernel that runs no
# 32-bit programs, see wine-arch.sh) has an empty syswow64, unlike 64-bit
# Windows and unlike a prefix Wine makes with its 32-bit part. The client
# tells 64-bit Windows by that folder's entries, so fill it the way wineboot
# would have: with Wine's 32-bit Windows DLLs (links, nothing copied). No
# 32-bit program runs in such a prefix either way.
set -eu
: "${WINEPREFIX:?}"
[ "${QEX_WINE_32BIT:-1}" = 0 ] || exit 0
src=/usr/lib/i386-linux-gnu/wine/i386-windows
dst=$WINEPREFIX/drive_c/windows/syswow64
[ -d "$src" ] || { echo "wine-prefix: $src missing; syswow64 left empty" >&2; exit 0; }
mkdir -p "$dst"
for f in "$src"/*; do
  [ -e "$dst/${f##*/}" ] || ln -s "$f" "$dst/${f##*/}"
done
