#!/usr/bin/env bash
# Start-up of the launcher, process start to window shown, in pairs of alternating order: against a bare
# one-window program (the target), then against plain_window.exe, the same window, manifest, icons, OLE
# initialisation and buttons without the launcher's own code. Extra arguments go to the driver.
#   bench/startup.sh [--pairs=N]   (default 20)
source "$(dirname "$0")/common.sh"
bench_build Tessivar bare_window plain_window startup_bench
bench_header "Start-up"
for baseline in bare_window plain_window; do
    echo "### Against $baseline.exe"
    echo
    bench_run wine "$build/bench/startup_bench.exe" --tessivar="$build/Tessivar.exe" \
        --bare="$build/bench/$baseline.exe" --pairs=20 "$@"
    echo
done
