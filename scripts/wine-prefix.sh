#!/usr/bin/env bash
# Creates (or reuses) a private Wine prefix for Tessivar's runs and tests.
#   scripts/wine-prefix.sh DIR
# The prefix gets: no window manager dependency (Wine draws the frame itself, so the
# X window is the real outer frame and closing never waits for a manager), and a font
# link so the default GUI font finds CJK glyphs for the Chinese captions.
# The wine session that created the prefix is ended before returning: out-of-process
# activation from that same session hangs.
set -euo pipefail
prefix=$(realpath -m "$1")
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$prefix/.tessivar-ready" ]; then
    rm -rf "$prefix"
    mkdir -p "$prefix"
    wineboot -i >/dev/null 2>&1
    reg=$(mktemp --suffix=.reg)
    cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"=hex(7):77,71,79,2d,6d,69,63,72,6f,68,65,69,2e,74,74,63,2c,57,65,6e,51,75,61,6e,59,69,20,4d,69,63,72,6f,20,48,65,69,00,00
"Microsoft Sans Serif"=hex(7):77,71,79,2d,6d,69,63,72,6f,68,65,69,2e,74,74,63,2c,57,65,6e,51,75,61,6e,59,69,20,4d,69,63,72,6f,20,48,65,69,00,00
"MS Shell Dlg"=hex(7):77,71,79,2d,6d,69,63,72,6f,68,65,69,2e,74,74,63,2c,57,65,6e,51,75,61,6e,59,69,20,4d,69,63,72,6f,20,48,65,69,00,00
REG
    wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
    rm -f "$reg"
    # Wine's own fonts (Tahoma, the caption buttons' Marlett) are not found through fontconfig;
    # the prefix's Fonts folder is always searched.
    for font in /usr/share/wine/fonts/*.ttf; do
        [ -e "$font" ] && ln -sf "$font" "$prefix/drive_c/windows/Fonts/"
    done
    wineserver -k || true
    wineserver -w || true
    touch "$prefix/.tessivar-ready"
fi
