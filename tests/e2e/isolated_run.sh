#!/usr/bin/env bash
# Runs the end-to-end driver where the suite's own display and prefix cannot: under screens of other
# sizes, and with the system code page 936. Each run gets its own Xvfb and its own copy of the test
# prefix, so its wineserver is bound to that display alone and is ended before the display goes.
#   isolated_run.sh screen-sizes  DRIVER.exe [driver options...]
#   isolated_run.sh code-page-936 DRIVER.exe [driver options...]
# WINEPREFIX names the suite's prefix, which is copied, never used.
set -euo pipefail
mode=$1
shift
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
wine_run=$(realpath "$(dirname "$0")/../../cmake/wine-run.sh")
work=$(mktemp -d "${TMPDIR:-/tmp}/tessivar-e2e-XXXXXX")
prefix="$work/prefix"
cleanup() {
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp -a "$WINEPREFIX" "$prefix"

# Variables for the Wine processes only (this shell need not know their locale).
wine_env=(WINEPREFIX="$prefix")

# run_driver WIDTH HEIGHT [driver arguments...]: one driver run in its own display; returns its status.
run_driver() {
    local width=$1 height=$2
    shift 2
    env "${wine_env[@]}" timeout 90 xvfb-run -a -s "-screen 0 ${width}x${height}x24" bash -c '
        "$0" "$@"; status=$?
        wineserver -k 2>/dev/null || true
        exit $status' "$wine_run" "$@"
}

failures=0
case $mode in
screen-sizes)
    # Width, height and the outer frame's expected origin: (screen - 364×251) / 2, truncated toward zero.
    # Xvfb takes screens smaller than the window, where the origin is negative.
    cases=(
        "1920 1080 778,414"
        "1024 768 330,258"
        "800 600 218,174"
        "313 200 -25,-25"
        "300 200 -32,-25"
    )
    for entry in "${cases[@]}"; do
        read -r width height origin <<<"$entry"
        echo "== screen ${width}x${height}: window expected at ($origin)"
        if ! run_driver "$width" "$height" "$@" --expect-screen="${width}x${height}" --expect-origin="$origin" \
            --gtest_filter='Placement.*'; then
            echo "FAILED: screen ${width}x${height}"
            failures=$((failures + 1))
        fi
    done
    ;;
code-page-936)
    # Wine takes the ANSI code page from the C library's locale, which has to be generated first.
    mkdir -p "$work/locale"
    localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8"
    wine_env+=(LOCPATH="$work/locale" LC_ALL=zh_CN.UTF-8)
    if ! run_driver 1024 768 "$@" --expect-acp=936 --expect-screen=1024x768 --expect-origin=330,258 \
        --gtest_filter='StartUp*:LauncherWindow.*:Keyboard.EnterAndF1DoNothing:Closing*Esc'; then
        failures=$((failures + 1))
    fi
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
exit $((failures > 0))
