#!/usr/bin/env python3
"""Writes skin/template_module.bin: the empty 1024-byte resource-only module
(PE32 DLL, one section ".rsrc" holding an empty root resource directory) that
every output module starts from.

Run once with python3 from anywhere; the result is committed and the build
only embeds it. Two header values are kept as the template has always had them
although they do not describe these bytes: the CheckSum 0x000181F2 (the
section writer computes the real one on every commit) and a certificate-table
entry that points past the end of the file.
"""

import os
import struct

SIZE = 0x400
PE_OFFSET = 0xB8
RICH_OFFSET = 0x80


class Image:
    def __init__(self, size):
        self.data = bytearray(size)
        self.written = bytearray(size)  # guards against two fields overlapping

    def put(self, offset, raw):
        end = offset + len(raw)
        assert end <= len(self.data), hex(offset)
        assert not any(self.written[offset:end]), "overlap at %#x" % offset
        self.data[offset:end] = raw
        self.written[offset:end] = b"\x01" * len(raw)

    def u8(self, offset, value):
        self.put(offset, struct.pack("<B", value))

    def u16(self, offset, value):
        self.put(offset, struct.pack("<H", value))

    def u32(self, offset, value):
        self.put(offset, struct.pack("<I", value))


def rol32(value, count):
    count &= 31
    value &= 0xFFFFFFFF
    return ((value << count) | (value >> (32 - count))) & 0xFFFFFFFF


def rich_record(dos_header_and_stub):
    """A linker's build-tool record: "DanS", three padding words, one
    (tool id, use count) pair per tool, "Rich" and the key. Every word before
    "Rich" is masked with the key, which sums the bytes in front of the record
    (e_lfanew left out) and each tool entry, the way the linker computes it."""
    build = 30729  # the 9.0 toolchain's service-pack build
    tools = [
        (0x0094, build, 1),  # resource converter
        (0x0091, build, 1),  # linker
    ]
    key = RICH_OFFSET
    for index, byte in enumerate(dos_header_and_stub[:RICH_OFFSET]):
        if 0x3C <= index < 0x40:
            continue
        key = (key + rol32(byte, index)) & 0xFFFFFFFF
    for product, version, count in tools:
        key = (key + rol32((product << 16) | version, count)) & 0xFFFFFFFF
    words = [0x536E6144, 0, 0, 0]  # "DanS"
    for product, version, count in tools:
        words += [(product << 16) | version, count]
    record = b"".join(struct.pack("<I", w ^ key) for w in words)
    record += b"Rich" + struct.pack("<I", key)
    assert len(record) == 40
    return record


def build():
    image = Image(SIZE)

    # DOS header.
    image.put(0x00, b"MZ")
    image.u16(0x02, 0x0090)  # e_cblp
    image.u16(0x04, 0x0003)  # e_cp
    image.u16(0x06, 0)  # e_crlc
    image.u16(0x08, 0x0004)  # e_cparhdr
    image.u16(0x0A, 0)  # e_minalloc
    image.u16(0x0C, 0xFFFF)  # e_maxalloc
    image.u16(0x0E, 0)  # e_ss
    image.u16(0x10, 0x00B8)  # e_sp
    image.u16(0x12, 0)  # e_csum
    image.u16(0x14, 0)  # e_ip
    image.u16(0x16, 0)  # e_cs
    image.u16(0x18, 0x0040)  # e_lfarlc
    image.u16(0x1A, 0)  # e_ovno
    image.put(0x1C, bytes(8))  # e_res
    image.u16(0x24, 0)  # e_oemid
    image.u16(0x26, 0)  # e_oeminfo
    image.put(0x28, bytes(20))  # e_res2
    image.u32(0x3C, PE_OFFSET)  # e_lfanew

    # DOS stub: print the message and exit with code 1.
    image.put(0x40, bytes.fromhex("0E1FBA0E00B409CD21B8014CCD21"))
    image.put(0x4E, b"This program cannot be run in DOS mode.")
    image.put(0x75, b"\r\r\n")
    image.put(0x78, b"$")
    image.put(0x79, bytes(7))

    image.put(RICH_OFFSET, rich_record(image.data))
    image.put(0xA8, bytes(16))

    # PE signature and file header.
    image.put(PE_OFFSET, b"PE\0\0")
    image.u16(0xBC, 0x014C)  # Machine: Intel 386
    image.u16(0xBE, 1)  # NumberOfSections
    image.u32(0xC0, 0x50479303)  # TimeDateStamp
    image.u32(0xC4, 0)  # PointerToSymbolTable
    image.u32(0xC8, 0)  # NumberOfSymbols
    image.u16(0xCC, 0x00E0)  # SizeOfOptionalHeader
    image.u16(0xCE, 0x2102)  # executable image, 32-bit machine, DLL

    # Optional header (PE32).
    image.u16(0xD0, 0x010B)  # Magic
    image.u8(0xD2, 9)  # MajorLinkerVersion
    image.u8(0xD3, 0)  # MinorLinkerVersion
    image.u32(0xD4, 0)  # SizeOfCode
    image.u32(0xD8, 0x200)  # SizeOfInitializedData
    image.u32(0xDC, 0)  # SizeOfUninitializedData
    image.u32(0xE0, 0)  # AddressOfEntryPoint: none
    image.u32(0xE4, 0x1000)  # BaseOfCode
    image.u32(0xE8, 0x1000)  # BaseOfData
    image.u32(0xEC, 0x15960000)  # ImageBase
    image.u32(0xF0, 0x1000)  # SectionAlignment
    image.u32(0xF4, 0x200)  # FileAlignment
    image.u16(0xF8, 5)  # MajorOperatingSystemVersion
    image.u16(0xFA, 0)  # MinorOperatingSystemVersion
    image.u16(0xFC, 0)  # MajorImageVersion
    image.u16(0xFE, 0)  # MinorImageVersion
    image.u16(0x100, 5)  # MajorSubsystemVersion
    image.u16(0x102, 0)  # MinorSubsystemVersion
    image.u32(0x104, 0)  # Win32VersionValue
    image.u32(0x108, 0x2000)  # SizeOfImage
    image.u32(0x10C, 0x200)  # SizeOfHeaders
    image.u32(0x110, 0x000181F2)  # CheckSum, as the template always carried it
    image.u16(0x114, 2)  # Subsystem: Windows GUI
    image.u16(0x116, 0x0400)  # DllCharacteristics: no SEH
    image.u32(0x118, 0x100000)  # SizeOfStackReserve
    image.u32(0x11C, 0x1000)  # SizeOfStackCommit
    image.u32(0x120, 0x100000)  # SizeOfHeapReserve
    image.u32(0x124, 0x1000)  # SizeOfHeapCommit
    image.u32(0x128, 0)  # LoaderFlags
    image.u32(0x12C, 16)  # NumberOfRvaAndSizes

    directories = {2: (0x1000, 0x10), 4: (0x00010800, 0x00000B80)}
    for entry in range(16):
        address, size = directories.get(entry, (0, 0))
        image.u32(0x130 + 8 * entry, address)
        image.u32(0x134 + 8 * entry, size)

    # The one section header.
    image.put(0x1B0, b".rsrc\0\0\0")
    image.u32(0x1B8, 0x10)  # VirtualSize
    image.u32(0x1BC, 0x1000)  # VirtualAddress
    image.u32(0x1C0, 0x200)  # SizeOfRawData
    image.u32(0x1C4, 0x200)  # PointerToRawData
    image.u32(0x1C8, 0)  # PointerToRelocations
    image.u32(0x1CC, 0)  # PointerToLinenumbers
    image.u16(0x1D0, 0)  # NumberOfRelocations
    image.u16(0x1D2, 0)  # NumberOfLinenumbers
    image.u32(0x1D4, 0x40000040)  # initialised data, readable
    image.put(0x1D8, bytes(40))

    # The empty root resource directory, then filler up to the end.
    image.u32(0x200, 0)  # Characteristics
    image.u32(0x204, 0)  # TimeDateStamp
    image.u16(0x208, 4)  # MajorVersion
    image.u16(0x20A, 0)  # MinorVersion
    image.u16(0x20C, 0)  # NumberOfNamedEntries
    image.u16(0x20E, 0)  # NumberOfIdEntries
    image.put(0x210, b"PADDINGXXPADDING" * 31)

    assert all(image.written), "unwritten byte at %#x" % image.written.index(0)
    return bytes(image.data)


def main():
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "template_module.bin")
    with open(target, "wb") as out:
        out.write(build())


if __name__ == "__main__":
    main()
