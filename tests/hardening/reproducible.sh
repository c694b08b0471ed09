#!/usr/bin/env bash
# Two clean builds of the same sources, from two different folders, must give byte-identical
# programs: nothing of the time or place of the build may end up in the exe.
set -euo pipefail
source_dir=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for n in 1 2; do
    # Different depths, so any path left in the image would differ.
    mkdir -p "$work/b$n/$(printf 'x%.0s' $(seq $n))"
    mkdir -p "$work/b$n/src"
    tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/b$n/src" -xf -
    cmake -S "$work/b$n/src" -B "$work/b$n/build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$work/b$n/src/cmake/i686-w64-mingw32.cmake" -DTESSIVAR_BUILD_TESTS=OFF >/dev/null
    cmake --build "$work/b$n/build" --target Tessivar -j"$(nproc)" >/dev/null
done

a="$work/b1/build/Tessivar.exe"
b="$work/b2/build/Tessivar.exe"
if cmp -s "$a" "$b"; then
    echo "identical: $(sha256sum "$a" | cut -d' ' -f1)"
else
    echo "FAIL: the two builds differ"
    cmp -l "$a" "$b" | head -n 20
    exit 1
fi
