#!/usr/bin/env bash
# usage: planted_dll.sh TESSIVAR.exe UNRESTRICTED.exe PLANTED.dll
# uxtheme.dll is loaded by name once the program runs (for the visual style). A copy planted in
# the program's folder, with Wine told to prefer a native copy, must not be loaded by the real
# program; the control build without the System32-only search must load it.
set -euo pipefail
tessivar=$1 unrestricted=$2 planted=$3
: "${WINEPREFIX:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {  # run EXE-COPY-NAME: prints whether the planted DLL was loaded
    local dir="$work/$1"
    mkdir -p "$dir"
    cp "$2" "$dir/Tessivar.exe"
    cp "$planted" "$dir/uxtheme.dll"
    WINEDLLOVERRIDES="uxtheme=n,b" "$(dirname "$0")/../../cmake/wine-run.sh" "$dir/Tessivar.exe" &
    local pid=$!
    local id=""
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --name '^Tessivar$' 2>/dev/null | head -n1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "FAIL: $1: the window never appeared"; kill $pid; exit 1; }
    xdotool key --window "$id" Escape 2>/dev/null || true
    for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    kill -0 $pid 2>/dev/null && { echo "FAIL: $1: still running after Esc"; kill $pid; exit 1; }
    wait $pid || true
    [ -e "$dir/planted-dll-loaded" ] && echo loaded || echo not-loaded
}

control=$(run unrestricted "$unrestricted")
shipped=$(run shipped "$tessivar")
echo "control build without the restriction: $control; shipped program: $shipped"
[ "$control" = loaded ] || { echo "FAIL: the control build did not load the planted DLL: the test proves nothing"; exit 1; }
[ "$shipped" = not-loaded ] || { echo "FAIL: the shipped program loaded the planted uxtheme.dll"; exit 1; }
