#!/usr/bin/env bash
# Storm: a seeded random run of real keys and clicks while the stand-ins fail in changing ways; the
# launcher must survive every step and end with exit code 0 on Esc. The seed is printed.
#   bench/storm.sh [--steps=N] [--seed=N]   (default 1000 steps, a new seed each run)
source "$(dirname "$0")/common.sh"
bench_build Tessivar RecordingOffice bench_storm
bench_server
bench_header "Storm"
log="$work/storm.txt"
status=0
bench_run wine "$build/bench/bench_storm.exe" --tessivar="$build/Tessivar.exe" --steps=1000 "$@" >"$log" || status=$?
# The steps go to the log; the summary here.
grep -E '^(storm:|step [0-9]+: (minimise|restore|unregister|register)|[0-9]+ steps in|server:|FAIL|PASS)' "$log" |
    awk '/^step/ { kinds[$3]++; next } { print } END { for (k in kinds) printf "%s steps: %d\n", k, kinds[k] }'
echo "all steps: $log"
exit $status
