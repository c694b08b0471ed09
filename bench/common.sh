# Shared by the benchmark scripts (source it): the build, a private Wine prefix, a private copy of the
# recording server, and running a Windows driver inside Xvfb. Environment:
#   TESSIVAR_BENCH_BUILD  build folder to use as it is configured (default: build/mingw, configured with
#                         the mingw preset)
#   TESSIVAR_BENCH_WORK   folder for the prefix, the server copy and the traces (default: BUILD/bench-work)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TESSIVAR_BENCH_BUILD:-$root/build/mingw}
work=${TESSIVAR_BENCH_WORK:-$build/bench-work}
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Where and on what the figures were taken.
bench_header() {
    echo "## $1"
    echo
    local source="source $root"
    if git -C "$root" rev-parse --short HEAD >/dev/null 2>&1; then
        source="commit $(git -C "$root" rev-parse --short HEAD)"
        git -C "$root" diff --quiet HEAD -- shell launcher_window office resources CMakeLists.txt ||
            source="$source, with uncommitted program changes"
    fi
    echo "- $(date -u '+%Y-%m-%d %H:%M UTC'), $source, build type $(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null)"
    echo "- $(nproc) CPUs: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'); $(wine --version); load average $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
}

bench_build() {
    if [ -z "${TESSIVAR_BENCH_BUILD:-}" ]; then
        (cd "$root" && cmake --preset mingw >/dev/null)
    fi
    cmake --build "$build" -j2 --target "$@" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
}

# The recording server gets a folder of its own (its journal and faults file live beside it), so a
# benchmark never shares them with a test run. The drivers find it through RECORDING_SERVER_DIR.
bench_server() {
    mkdir -p "$work/server"
    cp "$build/tests/recording_server/RecordingOffice.exe" "$work/server/"
    rm -f "$work/server/journal.txt" "$work/server/faults.txt" "$work/server/faults.fired"
    export RECORDING_SERVER_DIR="Z:$work/server"
}

# Runs a command inside a fresh Xvfb display with the prefix's wineserver and services started first;
# the wineserver is ended before the display goes away.
bench_run() {
    "$root/scripts/wine-prefix.sh" "$WINEPREFIX" >/dev/null
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        wineserver -p </dev/null >/dev/null 2>&1
        wine cmd /c exit 0 </dev/null >/dev/null 2>&1
        "$@"; status=$?
        wineserver -k 2>/dev/null
        exit $status' bench "$@"
}
