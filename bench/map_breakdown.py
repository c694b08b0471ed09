#!/usr/bin/env python3
"""Breaks a GNU ld link map (-Wl,-Map=FILE) of a PE image down by library and object.

    bench/map_breakdown.py FILE.map [--objects N]

Prints, per output section and in total, how many bytes each library (the archive, or "program" for the
project's own objects) puts into the image, then the N largest objects. Sizes are of the input sections
as placed, before file alignment; the resources (.rsrc) come from the .res object.
"""
import argparse
import collections
import os
import re
import sys

OUTPUT_SECTION = re.compile(r"^(\.[\w$.]+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)")
INPUT_FULL = re.compile(r"^ (\.[^\s]+|COMMON)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
INPUT_NAME_ONLY = re.compile(r"^ (\.[^\s]+|COMMON)\s*$")
INPUT_REST = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")

# Sections the image does not carry (debug info is stripped by -s, .drectve is a linker directive).
DROPPED = (".debug", ".drectve", ".stab", ".comment", ".gnu.lto", ".note")


def library_of(path):
    """(library, object) for an input file: 'libstdc++.a' and the member, or 'program' and the file."""
    match = re.match(r"^(.*?)\(([^)]*)\)$", path)
    if match:
        archive, member = match.groups()
        name = os.path.basename(archive)
        project = not archive.startswith("/usr/")
        return ("program: " + name if project else name), member
    base = os.path.basename(path)
    if path == "dll stuff":
        return "import tables", "dll stuff"
    if path.endswith(".res"):
        return "resources (.res)", base
    if path.startswith("/usr/"):
        return "crt objects", base
    return "program: " + base.split(".")[0], base


def parse(lines):
    in_memory_map = False
    output = None
    pending_name = None
    contributions = []  # (output section, library, object, size)
    output_sizes = collections.OrderedDict()
    for line in lines:
        line = line.rstrip("\n")
        if line.startswith("Linker script and memory map"):
            in_memory_map = True
            continue
        if not in_memory_map:
            continue
        match = OUTPUT_SECTION.match(line)
        if match:
            output = match.group(1)
            output_sizes[output] = int(match.group(2), 16)
            pending_name = None
            continue
        if output is None or output.startswith(DROPPED):
            continue
        match = INPUT_FULL.match(line)
        if match:
            _, _, size, path = match.groups()
            pending_name = None
        else:
            if INPUT_NAME_ONLY.match(line):
                pending_name = line.strip()
                continue
            match = INPUT_REST.match(line) if pending_name else None
            if not match:
                continue
            _, size, path = match.groups()
            pending_name = None
        size = int(size, 16)
        if size == 0 or path.startswith("linker stubs"):
            continue
        library, obj = library_of(path.strip())
        contributions.append((output, library, obj, size))
    return output_sizes, contributions


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("map")
    parser.add_argument("--objects", type=int, default=25, help="how many of the largest objects to list")
    args = parser.parse_args()
    with open(args.map, encoding="utf-8", errors="replace") as f:
        output_sizes, contributions = parse(f)

    sections = [s for s in output_sizes if not s.startswith(DROPPED) and output_sizes[s] > 0]
    by_library = collections.defaultdict(lambda: collections.Counter())
    by_object = collections.Counter()
    for section, library, obj, size in contributions:
        by_library[library][section] += size
        by_object[(library, obj)] += size

    shown = [s for s in (".text", ".rdata", ".eh_frame", ".data", ".rsrc") if s in sections]
    header = f"{'library':<34}{'total':>9}" + "".join(f"{s:>10}" for s in shown) + f"{'other':>9}"
    print(header)
    print("-" * len(header))
    rows = sorted(by_library.items(), key=lambda item: -sum(item[1].values()))
    totals = collections.Counter()
    for library, counts in rows:
        total = sum(counts.values())
        other = total - sum(counts[s] for s in shown)
        totals.update(counts)
        print(f"{library:<34}{total:>9}" + "".join(f"{counts[s]:>10}" for s in shown) + f"{other:>9}")
    print("-" * len(header))
    grand = sum(totals.values())
    other = grand - sum(totals[s] for s in shown)
    print(f"{'all input sections':<34}{grand:>9}" + "".join(f"{totals[s]:>10}" for s in shown) + f"{other:>9}")
    print()
    print("output sections: " + ", ".join(f"{s} {output_sizes[s]}" for s in sections))
    print()
    print(f"largest {args.objects} objects:")
    for (library, obj), size in by_object.most_common(args.objects):
        print(f"{size:>9}  {library}({obj})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
