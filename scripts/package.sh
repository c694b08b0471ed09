#!/usr/bin/env bash
# Builds the release program and packs Tessivar.exe with a short text into a zip; prints its SHA-256.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j"$(nproc)" --target Tessivar
(cd build/mingw && cpack -G ZIP >/dev/null)
zip=build/mingw/Tessivar-*-win32.zip
sha256sum $zip
