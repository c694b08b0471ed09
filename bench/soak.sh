#!/usr/bin/env bash
# Soak: launch cycles round the three buttons from one launcher, then Esc; counters first, middle and
# last, everything released at the server, no proxy left for OleUninitialize (Wine's +ole trace).
#   bench/soak.sh [--cycles=N]   (default 500)
source "$(dirname "$0")/common.sh"
bench_build Tessivar RecordingOffice bench_soak
bench_server
bench_header "Soak"
trace="$work/soak-ole-trace.txt"
status=0
# Wine writes the launcher's trace to the Unix stderr it inherits from the driver.
bench_run sh -c 'exec wine "$0" "$@" 2>"'"$trace"'"' "$build/bench/bench_soak.exe" \
    --tessivar="$build/Tessivar.exe" --cycles=500 --samples=6 --ole-trace="$trace" "$@" || status=$?
echo
echo "+ole trace: $(du -h "$trace" | cut -f1) in $trace"
exit $status
