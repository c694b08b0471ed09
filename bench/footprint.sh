#!/usr/bin/env bash
# Footprint: the executable's size and what each part of it costs (link map by library and object),
# its imported DLLs, its resources, and after start-up its handles, GDI objects, windows and memory
# against a bare one-window program and against plain_window.exe (the same window without the launcher's
# own code).
#   bench/footprint.sh [--runs=N]   (default 3)
source "$(dirname "$0")/common.sh"
bench_build Tessivar TessivarMapped bare_window plain_window footprint_bench
exe="$build/Tessivar.exe"
bench_header "Footprint"

size() { stat -c %s "$1"; }
echo "| file | bytes | KiB |"
echo "|---|---:|---:|"
for f in "$exe" "$build/bench/TessivarMapped.exe" "$build/bench/bare_window.exe"; do
    printf '| %s | %d | %.1f |\n' "$(basename "$f")" "$(size "$f")" "$(echo "$(size "$f") / 1024" | bc -l)"
done
[ "$(size "$exe")" = "$(size "$build/bench/TessivarMapped.exe")" ] ||
    echo "(TessivarMapped.exe, linked with the map, differs in size from Tessivar.exe: the breakdown is approximate)"
echo
echo "Imported DLLs: $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { printf "%s ", $3 }')"
echo
echo "Sections (contents; the file pads each to a multiple of 512 bytes):"
echo
echo "| section | bytes |"
echo "|---|---:|"
i686-w64-mingw32-objdump -h "$exe" | awk '/^ *[0-9]+ \./ { print $2, $3 }' |
    while read -r name hex; do printf '| %s | %d |\n' "$name" "$((16#$hex))"; done
echo
echo "Resources:"
echo
wrestool -l "$exe" | awk '
    { size = $0; sub(/.*size=/, "", size); sub(/\].*/, "", size) }
    /type=icon/ { icons += size; n++ } /type=group_icon/ { group += size } /--type=24/ { manifest += size }
    END { printf "- %d icon images, %d bytes; icon group directory %d bytes; manifest %d bytes\n", n, icons, group, manifest }'
echo
echo "Link map by library (bytes placed, before section alignment):"
echo
echo '```'
python3 "$root/bench/map_breakdown.py" "$build/bench/Tessivar.map" --objects 15
echo '```'
echo
for baseline in bare_window plain_window; do
    echo "### Against $baseline.exe"
    echo
    bench_run wine "$build/bench/footprint_bench.exe" --tessivar="$exe" --bare="$build/bench/$baseline.exe" "$@"
    echo
done
