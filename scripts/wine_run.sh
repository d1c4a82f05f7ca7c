#!/usr/bin/env bash
# Runs a Windows program under Wine: the 64-bit loader, a private prefix (made once, with no
# display and no Mono or Gecko), no debug chatter. ctest uses it as the cross-compiling emulator.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${KEL_WINE_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/kel7300-wine}}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=} DISPLAY=
export PATH=/usr/lib/wine:$PATH
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  mkdir -p "$WINEPREFIX"
  wine64 wineboot --init >/dev/null 2>&1
  wineserver -w
fi
exec wine64 "$@"
