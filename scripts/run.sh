#!/usr/bin/env bash
# Builds Tessivar and runs it under Wine, with the recording stand-ins for Word, Excel and
# PowerPoint registered in a private prefix so the buttons visibly open something.
# Uses the current X display; without one, runs in Xvfb and saves a screenshot instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j"$(nproc)" --target Tessivar RecordingOffice

export WINEPREFIX="$PWD/build/mingw/run-prefix" WINEDEBUG=-all
scripts/wine-prefix.sh "$WINEPREFIX"
server=build/mingw/tests/recording_server/RecordingOffice.exe
[ -f "$server" ] && wine "$server" /RegServer

if [ -n "${DISPLAY:-}" ]; then
    wine build/mingw/Tessivar.exe
    wineserver -w
else
    echo "run: no X display; running in Xvfb and saving a screenshot to build/mingw/tessivar.png" >&2
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        wine build/mingw/Tessivar.exe & pid=$!
        for _ in $(seq 100); do xdotool search --name "^Tessivar$" >/dev/null 2>&1 && break; sleep 0.1; done
        sleep 1; import -window root build/mingw/tessivar.png
        xdotool search --name "^Tessivar$" key Escape; wait $pid
        wineserver -k'
fi
