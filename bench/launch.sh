#!/usr/bin/env bash
# Launch overhead: a real click on a launcher button to the recording server's Add, against a bare client
# making the same calls, in pairs round the three applications; then the requests per launch.
#   bench/launch.sh [--pairs=N]   (default 15)
source "$(dirname "$0")/common.sh"
bench_build Tessivar RecordingOffice bare_client launch_bench
bench_server
bench_header "Launch overhead"
bench_run wine "$build/bench/launch_bench.exe" --tessivar="$build/Tessivar.exe" \
    --bare-client="$build/bench/bare_client.exe" "$@"
