# Sourced (by wine-env.sh and run.sh): which Wine loader this machine can use.
# Some Linux kernels run no 32-bit programs (ia32 emulation switched off,
# "ia32_emulation=off"). Debian's `wine` always starts its 32-bit loader,
# which then fails with "Exec format error". On such a machine 64-bit
# Windows programs still run through the 64-bit loader: the shims in
# wine64-only/ put it in place of `wine`/`wine-stable` (which wineboot,
# regedit and regsvr32 call), and QEX_WINE_32BIT=0 tells the scripts and
# tests that 32-bit Windows programs cannot run here.
if [ -z "${QEX_WINE_32BIT:-}" ]; then
  if [ ! -e /usr/lib/wine/wine ] || /usr/lib/wine/wine --version >/dev/null 2>&1; then
    QEX_WINE_32BIT=1
  else
    QEX_WINE_32BIT=0
  fi
  export QEX_WINE_32BIT
fi
if [ "$QEX_WINE_32BIT" = 0 ]; then
  qex_wine64_only="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only"
  export WINELOADER=/usr/lib/wine/wine64
  case ":$PATH:" in
    *":$qex_wine64_only:"*) ;;
    *) export PATH="$qex_wine64_only:$PATH" ;;
  esac
fi
