"""Refuses an SDK payload that cannot work once it is embedded in the tool.

    python3 payload_check.py [--stamp FILE] SLOT=DLL...

SLOT is x64 or x86. Each DLL must be a PE DLL of its slot's machine type that
exports DllRegisterServer and DllUnregisterServer, the entry points the tool
has regsvr32 call. Every refusal is one line on standard error, naming the
file and what is wrong; the exit code is then 1. With all of them good the
stamp FILE is written, so that the build checks them again only when they
change.
"""
import struct
import sys

MACHINES = {0x14C: "x86", 0x8664: "x64", 0xAA64: "arm64"}
SLOT_MACHINES = {"x64": 0x8664, "x86": 0x14C}
ENTRY_POINTS = ("DllRegisterServer", "DllUnregisterServer")
IMAGE_FILE_DLL = 0x2000


class Refused(Exception):
    pass


def unpack(data, offset, layout):
    size = struct.calcsize(layout)
    if offset < 0 or offset + size > len(data):
        raise Refused("a damaged PE file: it ends before its headers do")
    return struct.unpack_from(layout, data, offset)


def dll_of(machine):
    if machine in MACHINES:
        return "an %s DLL" % MACHINES[machine]
    return "a DLL of machine type 0x%x" % machine


def exported_names(data, pe, optional_size):
    """The names in the export table, or none without one."""
    optional = pe + 24
    (magic,) = unpack(data, optional, "<H")
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, 0)
    if directories == optional:
        raise Refused("a damaged PE file: unknown optional header 0x%x" % magic)
    (directory_count,) = unpack(data, directories - 4, "<I")
    if directory_count == 0:
        return set()
    export_rva, _ = unpack(data, directories, "<II")
    if export_rva == 0:
        return set()

    (section_count,) = unpack(data, pe + 6, "<H")
    sections = [unpack(data, optional + optional_size + 40 * i + 8, "<IIII")
                for i in range(section_count)]

    def offset_of(rva):
        for virtual_size, address, raw_size, raw_offset in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_offset + rva - address
        raise Refused("a damaged PE file: its export table points outside it")

    def name_at(rva):
        start = offset_of(rva)
        end = data.find(b"\0", start)
        if end < 0:
            raise Refused("a damaged PE file: an export name runs off its end")
        return data[start:end].decode("latin-1")

    export = offset_of(export_rva)
    name_count, _, names_rva = unpack(data, export + 24, "<III")
    return {name_at(unpack(data, offset_of(names_rva) + 4 * i, "<I")[0])
            for i in range(name_count)}


def check(slot, data):
    if data[:2] != b"MZ":
        raise Refused("not a PE file")
    (pe,) = unpack(data, 0x3C, "<I")
    if unpack(data, pe, "<4s")[0] != b"PE\0\0":
        raise Refused("not a PE file")
    machine, _, _, _, _, optional_size, characteristics = unpack(data, pe + 4, "<HHIIIHH")
    if not characteristics & IMAGE_FILE_DLL:
        raise Refused("a PE program, not a DLL")
    if machine != SLOT_MACHINES[slot]:
        raise Refused("%s in the %s slot" % (dll_of(machine), slot))
    missing = [name for name in ENTRY_POINTS if name not in exported_names(data, pe, optional_size)]
    if missing:
        raise Refused("does not export " + " and ".join(missing))


def main(arguments):
    stamp = None
    if arguments[:1] == ["--stamp"]:
        stamp, arguments = arguments[1], arguments[2:]
    good = True
    for argument in arguments:
        slot, _, path = argument.partition("=")
        if slot not in SLOT_MACHINES or not path:
            sys.exit("payload check: not SLOT=DLL with SLOT x64 or x86: " + argument)
        try:
            with open(path, "rb") as payload:
                check(slot, payload.read())
        except (Refused, OSError) as refusal:
            reason = refusal.strerror if isinstance(refusal, OSError) else refusal
            print("payload check: %s: %s" % (path, reason), file=sys.stderr)
            good = False
    if not good:
        return 1
    if stamp:
        with open(stamp, "w"):
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
