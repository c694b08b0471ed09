#!/usr/bin/env python3
"""The launcher window shows the program icons.

Wine does not answer WM_GETICON from another process, but it hands a window's big and small icons to
X as the window's _NET_WM_ICON property. Both must be there and be, pixel for pixel, the 32- and
16-pixel images of the executable's DEFAULT_ICON group (without WM_SETICON, Wine shows its own logo).

    window_icons.py WINE_RUN TESSIVAR_EXE

Needs DISPLAY (the suite's Xvfb) and WINEPREFIX; wrestool, xdotool and xprop do the reading.
"""
import struct
import subprocess
import sys
import time

START_TIMEOUT = 20.0
EXIT_TIMEOUT = 10.0


def icon_group_images(exe):
    """The group's uncompressed images as {size: [ARGB, ...]} (rows from the top), read from the exe."""
    ico = subprocess.run(["wrestool", "-x", "--type=14", "--name=DEFAULT_ICON", exe],
                         capture_output=True, check=True).stdout
    _, kind, count = struct.unpack_from("<HHH", ico, 0)
    if kind != 1 or count == 0:
        raise SystemExit("no DEFAULT_ICON group in " + exe)
    images = {}
    for index in range(count):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * index)
        data = ico[offset:offset + size]
        if data.startswith(b"\x89PNG"):
            continue  # the 256-pixel image; never a window icon here
        header_size, dib_width, dib_height, _, dib_bits = struct.unpack_from("<IiiHH", data, 0)
        if dib_bits != 32:
            continue
        width, height = dib_width, dib_height // 2
        pixels = []
        for row in range(height - 1, -1, -1):  # bottom-up
            start = header_size + row * width * 4
            for column in range(width):
                blue, green, red, alpha = data[start + 4 * column:start + 4 * column + 4]
                pixels.append(alpha << 24 | red << 16 | green << 8 | blue)
        images[width] = pixels
    return images


def wait_for_window(pid):
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid), "--name", "^Tessivar$"],
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.1)
    return None


def window_icons(window):
    """_NET_WM_ICON as {size: [ARGB, ...]}."""
    text = subprocess.run(["xprop", "-id", window, "-notype", "32c", "_NET_WM_ICON"],
                          capture_output=True, text=True, check=True).stdout
    if "=" not in text:
        return {}
    values = [int(v) for v in text.split("=", 1)[1].replace(",", " ").split()]
    icons = {}
    while len(values) >= 2:
        width, height = values[0], values[1]
        icons[width] = values[2:2 + width * height]
        if height != width:
            raise SystemExit(f"icon of {width}x{height} pixels")
        values = values[2 + width * height:]
    return icons


def main():
    wine_run, exe = sys.argv[1:3]
    expected = icon_group_images(exe)
    failures = []
    launcher = subprocess.Popen([wine_run, exe], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    try:
        window = wait_for_window(launcher.pid)
        if window is None:
            raise SystemExit("the launcher window did not show")
        shown = window_icons(window)
        if sorted(shown) != [16, 32]:
            failures.append(f"window icons of sizes {sorted(shown)}, expected [16, 32]")
        for size in (16, 32):
            if size in shown and size in expected and shown[size] != expected[size]:
                differing = sum(a != b for a, b in zip(shown[size], expected[size]))
                failures.append(f"the {size}-pixel window icon is not DEFAULT_ICON's: {differing} pixels differ")
        # Esc, as a user would press it; the launcher has the keyboard focus.
        subprocess.run(["xdotool", "key", "Escape"], check=True)
        status = launcher.wait(timeout=EXIT_TIMEOUT)
        if status != 0:
            failures.append(f"exit status {status} after Esc")
    finally:
        if launcher.poll() is None:
            launcher.kill()
            launcher.wait()
    for failure in failures:
        print("FAILED:", failure)
    if not failures:
        print("window icons: 32 and 16 pixels, as in DEFAULT_ICON")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
