#!/usr/bin/env bash
# Runs a Windows executable under Wine for CTest.
# The first call for a prefix starts a persistent wineserver and Wine's services with
# their output on /dev/null; otherwise the services would inherit CTest's output pipe
# and CTest would wait for them after every test.
# WINEPREFIX must name a prefix made by scripts/wine-prefix.sh.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}"
# wineserver keeps its socket in a folder named after the prefix's device and inode.
server_name=$(printf 'server-%x-%x' "0x$(stat -c %D "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
if ! compgen -G "/tmp/.wine-$(id -u)/$server_name/socket" >/dev/null &&
   ! compgen -G "/tmp/wine-*/$server_name/socket" >/dev/null; then
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
fi
exec wine "$@"
