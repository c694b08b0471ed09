#!/usr/bin/env python3
"""Checks the resources of a built Tessivar.exe, read back with icoutils, and the icon build.

    check_resources.py icon EXE CHECKED_IN_ICO     the DEFAULT_ICON group
    check_resources.py manifest EXE                the application manifest
    check_resources.py regenerate MAKE_ICON_SCRIPT CHECKED_IN_ICO
"""
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

ICON_SIZES = [256, 64, 48, 40, 32, 24, 20, 16]
RT_GROUP_ICON = "14"
RT_MANIFEST = "24"
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
COMMON_CONTROLS = {
    "type": "win32",
    "name": "Microsoft.Windows.Common-Controls",
    "version": "6.0.0.0",
    "publicKeyToken": "6595b64144ccf1df",
}
# Settings the program must not carry: it declares no DPI awareness and asks for no elevation.
FORBIDDEN_ELEMENTS = {"dpiAware", "dpiAwareness", "requestedExecutionLevel", "trustInfo"}


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def run(*args):
    result = subprocess.run(args, capture_output=True)
    check(result.returncode == 0, f"{' '.join(map(str, args))} failed: {result.stderr.decode(errors='replace')}")
    return result.stdout


def list_resources(exe):
    """(type, name) of every resource, in the order of the file's resource directory."""
    entries = []
    for line in run("wrestool", "-l", exe).decode().splitlines():
        match = re.match(r"--type=(\S+) --name=(\S+)", line)
        if match:
            entries.append((match.group(1), match.group(2)))
    check(entries, f"{exe} has no resources")
    return entries


def read_ico(data):
    """The images of an .ico file: a list of (width, height, bit count, image data)."""
    check(len(data) >= 6, "icon file too short")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    check(reserved == 0 and kind == 1, "not an icon file")
    images = []
    for i in range(count):
        width, height, _, _, _, bit_count, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        check(offset + size <= len(data), f"icon image {i + 1} lies outside the file")
        images.append((width or 256, height or 256, bit_count, data[offset:offset + size]))
    return images


def check_icon(exe, checked_in_ico):
    groups = [name for kind, name in list_resources(exe) if kind == RT_GROUP_ICON]
    check(groups, "no icon group in the executable")
    # The first icon group of the resource directory is the one the shell shows for the file.
    check(groups[0] == "'DEFAULT_ICON'", f"first icon group is {groups[0]}, not the named group DEFAULT_ICON")

    with tempfile.TemporaryDirectory() as work:
        ico = Path(work) / "group.ico"
        run("wrestool", "-x", f"--type={RT_GROUP_ICON}", "--name=DEFAULT_ICON", "-o", ico, exe)
        check(ico.is_file(), "wrestool extracted no DEFAULT_ICON group")
        listing = run("icotool", "-l", ico).decode()
        data = ico.read_bytes()

    listed = []
    for line in listing.splitlines():
        fields = dict(re.findall(r"--([\w-]+)=(\S+)", line))
        listed.append((int(fields["width"]), int(fields["height"]), int(fields["bit-depth"])))
    check(sorted(listed, reverse=True) == [(s, s, 32) for s in ICON_SIZES],
          f"DEFAULT_ICON holds {listed}, want 32-bit images of {ICON_SIZES}")

    images = read_ico(data)
    for width, _, _, image in images:
        is_png = image.startswith(PNG_SIGNATURE)
        check(is_png == (width == 256), f"{width} px image is {'PNG' if is_png else 'a bitmap'}")

    # The executable must carry the checked-in artwork, not a stale or different icon.
    wanted = {(w, h): image for w, h, _, image in read_ico(Path(checked_in_ico).read_bytes())}
    for width, height, _, image in images:
        check(wanted.get((width, height)) == image, f"{width} px image differs from {checked_in_ico}")


def local_name(tag):
    return tag.rsplit("}", 1)[-1]


def check_manifest(exe):
    manifests = [name for kind, name in list_resources(exe) if kind == RT_MANIFEST]
    check(manifests == ["1"], f"manifest resources are {manifests}, want exactly id 1")
    text = run("wrestool", "-x", "--raw", f"--type={RT_MANIFEST}", "--name=1", exe)
    try:
        root = ET.fromstring(text)
    except ET.ParseError as error:
        raise CheckFailed(f"manifest is not well-formed XML: {error}")
    check(local_name(root.tag) == "assembly", f"manifest root is {root.tag}")

    found = sorted({local_name(e.tag) for e in root.iter()} & FORBIDDEN_ELEMENTS)
    check(not found, f"manifest declares {', '.join(found)}")

    dependencies = [
        identity.attrib
        for dependency in root if local_name(dependency.tag) == "dependency"
        for assembly in dependency if local_name(assembly.tag) == "dependentAssembly"
        for identity in assembly if local_name(identity.tag) == "assemblyIdentity"
    ]
    controls = [d for d in dependencies if all(d.get(k) == v for k, v in COMMON_CONTROLS.items())]
    check(len(controls) == 1, f"manifest dependencies {dependencies} do not name Common-Controls 6.0.0.0 once")
    check(controls[0].get("processorArchitecture") in ("*", "x86"),
          f"Common-Controls dependency is for {controls[0].get('processorArchitecture')}")


def check_regenerate(script, checked_in_ico):
    with tempfile.TemporaryDirectory() as work:
        fresh = Path(work) / "tessivar.ico"
        run(script, fresh)
        check(fresh.is_file(), f"{script} wrote no {fresh}")
        check(fresh.read_bytes() == Path(checked_in_ico).read_bytes(),
              f"{script} renders an icon that differs from {checked_in_ico}: rerun it and check in the result")


def main(argv):
    checks = {"icon": check_icon, "manifest": check_manifest, "regenerate": check_regenerate}
    if len(argv) < 2 or argv[1] not in checks:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        checks[argv[1]](*argv[2:])
    except CheckFailed as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
