#!/usr/bin/env bash
# Drive D: of a test prefix is a folder inside the prefix, so "d:/seallog.txt"
# is a file the tests create, read and delete: <prefix>/drive_d/seallog.txt.
set -eu
: "${WINEPREFIX:?}"
mkdir -p "$WINEPREFIX/drive_d"
ln -sfn ../drive_d "$WINEPREFIX/dosdevices/d:"
