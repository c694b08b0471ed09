#!/usr/bin/env bash
# Installs what building and testing Tessivar on Debian 12 needs: the i686 mingw-w64
# cross compiler, Wine (32-bit), Xvfb and the X tools the tests drive the window with,
# fonts for the Chinese captions, ImageMagick/icoutils for the icon, CMake, Ninja and
# GoogleTest sources. Does nothing when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang googletest libgtest-dev python3
    g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
    wine wine32:i386
    xvfb xauth xdotool x11-utils
    fonts-wqy-microhei fonts-wine
    imagemagick icoutils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
