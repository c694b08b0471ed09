#!/usr/bin/env bash
# Renders the program icon from its drawings in resources/icon/ into an .ico with eight
# 32-bit images: 256 (stored as PNG), 64, 48, 40 and 32 pixels from tessivar-icon.mvg, and
# 24, 20 and 16 pixels from the plainer tessivar-icon-small.mvg.
#   scripts/make-icon.sh [OUTPUT.ico]      (default: resources/tessivar.ico)
# The result is byte-identical on every run, so the checked-in icon can be compared with a
# fresh rendering. Needs Debian's ImageMagick 6 (the imagemagick package).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/resources/tessivar.ico}")
convert=/usr/bin/convert   # the real ImageMagick, whatever else is on PATH

[ -x "$convert" ] || { echo "make-icon: $convert not found (apt-get install imagemagick)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# No timestamps or other metadata may reach the files.
export SOURCE_DATE_EPOCH=0
png_opts=(-strip -define 'png:exclude-chunks=date,time')

"$convert" -background none "mvg:$root/resources/icon/tessivar-icon.mvg" "${png_opts[@]}" "PNG32:$work/master.png"
"$convert" -background none "mvg:$root/resources/icon/tessivar-icon-small.mvg" "${png_opts[@]}" \
    "PNG32:$work/small.png"

images=("$work/master.png")
for size in 64 48 40 32; do
    "$convert" "$work/master.png" -resize "${size}x${size}" "${png_opts[@]}" "PNG32:$work/$size.png"
    images+=("$work/$size.png")
done
for size in 24 20 16; do
    "$convert" "$work/small.png" -resize "${size}x${size}" "${png_opts[@]}" "PNG32:$work/$size.png"
    images+=("$work/$size.png")
done

mkdir -p "$(dirname "$out")"
"$convert" "${images[@]}" "${png_opts[@]}" "$work/icon.ico"
mv "$work/icon.ico" "$out"
