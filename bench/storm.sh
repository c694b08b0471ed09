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
# The steps go to the log; the summary here, with the steps counted by kind.
awk '/^step [0-9]+: / { kind = $3; sub(/:$/, "", kind); kinds[kind]++; next }
     /^(storm:|[0-9]+ steps in|server:|FAIL|PASS)/ { print }
     END { printf "steps by kind:"; for (k in kinds) printf " %s %d,", k, kinds[k]; print "" }' "$log"
echo "all steps: $log"
exit $status
