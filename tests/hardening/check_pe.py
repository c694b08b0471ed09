#!/usr/bin/env python3
"""Reads the built program's PE headers: ASLR, DEP, terminal-server awareness, no link time
stamp, relocations kept (ASLR needs them), and imports from system DLLs only."""
import struct
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll",
               "advapi32.dll", "shell32.dll", "comctl32.dll"}
DYNAMIC_BASE, NX_COMPAT, TERMINAL_SERVER_AWARE = 0x0040, 0x0100, 0x8000
RELOCS_STRIPPED = 0x0001


def read_pe(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit(f"{path}: not a PE file")
    machine, sections, stamp = struct.unpack_from("<HHI", data, pe + 4)
    characteristics = struct.unpack_from("<H", data, pe + 22)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    if magic != 0x10B:
        raise SystemExit(f"{path}: not a 32-bit PE (optional header magic {magic:#x})")
    subsystem, dll_characteristics = struct.unpack_from("<HH", data, opt + 68)
    directories = opt + 96
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    reloc_rva, reloc_size = struct.unpack_from("<II", data, directories + 5 * 8)
    section_table = opt + struct.unpack_from("<H", data, pe + 20)[0]
    sects = []
    for i in range(sections):
        base = section_table + 40 * i
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, base + 8)
        sects.append((va, max(vsize, rawsize), rawptr))

    def offset(rva):
        for va, size, raw in sects:
            if va <= rva < va + size:
                return raw + rva - va
        raise SystemExit(f"rva {rva:#x} outside every section")

    imports = []
    pos = offset(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, pos + 12)[0]
        if name_rva == 0:
            break
        end = data.index(b"\0", offset(name_rva))
        imports.append(data[offset(name_rva):end].decode().lower())
        pos += 20
    return dict(machine=machine, stamp=stamp, characteristics=characteristics, subsystem=subsystem,
                dll=dll_characteristics, reloc_size=reloc_size, imports=imports)


def main():
    pe = read_pe(sys.argv[1])
    problems = []
    if pe["machine"] != 0x14C:
        problems.append(f"machine {pe['machine']:#x} is not i386")
    if pe["subsystem"] != 2:
        problems.append(f"subsystem {pe['subsystem']} is not the Windows GUI")
    for flag, name in ((DYNAMIC_BASE, "DYNAMIC_BASE (ASLR)"), (NX_COMPAT, "NX_COMPAT (DEP)"),
                       (TERMINAL_SERVER_AWARE, "TERMINAL_SERVER_AWARE")):
        if not pe["dll"] & flag:
            problems.append(f"DllCharacteristics {pe['dll']:#06x} lacks {name}")
    if pe["characteristics"] & RELOCS_STRIPPED or pe["reloc_size"] == 0:
        problems.append("relocations stripped: the loader cannot move the image, ASLR has no effect")
    if pe["stamp"] != 0:
        problems.append(f"link time stamp {pe['stamp']:#x} makes every build differ")
    foreign = sorted(set(pe["imports"]) - SYSTEM_DLLS)
    if foreign:
        problems.append(f"imports non-system DLLs: {', '.join(foreign)}")
    for p in problems:
        print("FAIL:", p)
    print("imports:", ", ".join(pe["imports"]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
