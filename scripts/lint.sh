#!/usr/bin/env bash
# Format and static checks of the C++ sources: clang-format must change nothing, and clang-tidy
# (on the program's own code, with the Clang cross build's compile commands) must find nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${sources[@]}"

cmake --preset mingw-clang >/dev/null
cmake --build --preset mingw-clang -j"$(nproc)" >/dev/null
mapfile -t program < <(git ls-files 'shell/*.cpp' 'launcher_window/*.cpp' 'office/*.cpp')
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! clang-tidy -p build/mingw-clang --quiet "${program[@]}" >"$log" 2>&1; then
    grep -v 'warnings generated' "$log"
    echo "lint: clang-tidy found problems"
    exit 1
fi
echo "lint: clean"
