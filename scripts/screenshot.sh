#!/usr/bin/env bash
# Takes a screenshot of Tessivar's window under Wine, on a 1024x768x24 Xvfb display of its own.
#   scripts/screenshot.sh [EXE] [OUTPUT.png]
#     EXE     default: build/mingw/Tessivar.exe
#     OUTPUT  default: docs/images/tessivar-window.png
# A private Wine prefix is made for the run (scripts/wine-prefix.sh) and removed afterwards;
# set TESSIVAR_SCREENSHOT_PREFIX=DIR to make or reuse a prefix there instead (faster reruns).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

# The screenshot is always taken on a fresh virtual screen of the same size.
if [ -z "${TESSIVAR_SCREENSHOT_DISPLAY:-}" ]; then
    exec env TESSIVAR_SCREENSHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

exe=$(realpath -m "${1:-$root/build/mingw/Tessivar.exe}")
out=$(realpath -m "${2:-$root/docs/images/tessivar-window.png}")
[ -f "$exe" ] || { echo "screenshot: $exe not found; build it first" >&2; exit 1; }

work=$(mktemp -d)
prefix=${TESSIVAR_SCREENSHOT_PREFIX:-$work/prefix}
app_pid=""
cleanup() {
    # The wineserver must end before Xvfb does.
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
    if [ -d "$prefix" ]; then
        WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
        WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

"$root/scripts/wine-prefix.sh" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Run from the exe's folder, as a user starting it from Explorer would.
(cd "$(dirname "$exe")" && exec wine "$exe") </dev/null >"$work/wine.log" 2>&1 &
app_pid=$!

window=""
for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name '^Tessivar$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    if ! kill -0 "$app_pid" 2>/dev/null; then
        echo "screenshot: Tessivar ended before showing its window" >&2
        cat "$work/wine.log" >&2
        exit 1
    fi
    sleep 0.2
done
[ -n "$window" ] || { echo "screenshot: no window named Tessivar within 30 s" >&2; exit 1; }

# Let the window and its buttons finish painting.
sleep 1.5

eval "$(xdotool getwindowgeometry --shell "$window")"   # sets X, Y, WIDTH, HEIGHT
/usr/bin/import -window root "$work/screen.png"
mkdir -p "$(dirname "$out")"
/usr/bin/convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip \
    -define png:exclude-chunks=date,time "$out"
echo "screenshot: ${WIDTH}x${HEIGHT} window saved to $out"

# Esc closes the window, and with it the program.
xdotool key Escape 2>/dev/null || true
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.2
done
if kill -0 "$app_pid" 2>/dev/null; then
    echo "screenshot: Tessivar did not close on Esc" >&2
else
    app_pid=""
fi
