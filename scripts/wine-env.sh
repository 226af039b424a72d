# Sourced: the environment every Wine process of ours runs with.
export WINEPREFIX="$QEX_WINEPREFIX"
export WINEDEBUG=-all
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
# No Mono/Gecko install prompts, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

source "$(dirname "${BASH_SOURCE[0]}")/wine-arch.sh"
