#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the platform-free logic natively with
# sanitizers, then the Windows build under Wine inside its own Xvfb display and private prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native

# The program must also build warning-free with Clang, as a check against GCC-only code; the format
# and clang-tidy checks use that build's compile commands.
scripts/lint.sh

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j"$jobs"

# A fresh prefix for every run: a stale one (or its wineserver) from an earlier display breaks.
export WINEPREFIX="$PWD/build/mingw/wineprefix"
if [ -d "$WINEPREFIX" ]; then
    WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
fi

# The wineserver belongs to this display: end it before Xvfb goes away.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    ctest --preset mingw "$@"; status=$?
    wineserver -k 2>/dev/null || true
    exit $status' ctest "$@"
