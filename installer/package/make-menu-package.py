#!/usr/bin/python3
"""make-menu-package.py TEMPLATE IDENTITY MSIX LOGO

Writes the Windows 11 menu's package MSIX (unsigned; scripts/sign.sh signs
it) from the manifest TEMPLATE, with the version and the publisher on the
two lines of the file IDENTITY, and the logo LOGO that the manifest names.
The package holds no payload: AppxManifest.xml, AppxBlockMap.xml and
[Content_Types].xml only.

The zip follows the layout of Microsoft's own MSIX writer: the manifest and
the block map stored, [Content_Types].xml deflated, local headers with the
data-descriptor flag and no sizes, Zip64 data descriptors, central directory
entries whose sizes and offsets live in a Zip64 extra field, a Zip64 end
record and locator. Fixed timestamps make the output depend on its inputs
only.

[Content_Types].xml is deflated as MakeAppx deflates it because signing
rewrites it: osslsigncode adds the signature's part to it, always deflates
the new text and keeps the entry's compression method. A stored entry would
come out holding deflated bytes, a package no ZIP reader (Windows' own
included) can open.
"""
import base64
import hashlib
import struct
import sys
import zlib
from xml.sax.saxutils import quoteattr

BLOCK = 64 * 1024
DATA_DESCRIPTOR_FLAG = 0x0008
STORED, DEFLATED = 0, 8
ZIP64_VERSION = 45
DOS_TIME, DOS_DATE = 0, 0x2A21  # 2001-01-01 00:00
LOGO_SIZE = 150


def block_map(name, data):
    """The block map: one SHA-256 per 64 KiB of each listed file, in base64."""
    blocks = "".join(
        '<Block Hash="%s"/>' % base64.b64encode(hashlib.sha256(data[i:i + BLOCK]).digest()).decode()
        for i in range(0, len(data), BLOCK))
    # Entries are stored, so a Block has no Size (the size of a deflated
    # block); the local header is 30 bytes and the name, no extra field.
    lfh_size = 30 + len(name.encode())
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<BlockMap xmlns="http://schemas.microsoft.com/appx/2010/blockmap" '
            'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256">'
            '<File Name=%s Size="%d" LfhSize="%d">%s</File></BlockMap>\n'
            % (quoteattr(name), len(data), lfh_size, blocks)).encode()


CONTENT_TYPES = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Override PartName="/AppxManifest.xml" ContentType="application/vnd.ms-appx.manifest+xml"/>'
    '<Override PartName="/AppxBlockMap.xml" ContentType="application/vnd.ms-appx.blockmap+xml"/>'
    '</Types>\n').encode()


def deflate(data):
    """Raw deflate, as a ZIP entry holds it (no zlib header)."""
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    return packer.compress(data) + packer.flush()


def write_zip(path, entries):
    """entries: (name, data, method); DEFLATED data is written deflated."""
    out = bytearray()
    central = bytearray()
    for name, data, method in entries:
        raw = name.encode()
        offset, crc = len(out), zlib.crc32(data)
        packed = deflate(data) if method == DEFLATED else data
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, ZIP64_VERSION, DATA_DESCRIPTOR_FLAG, method,
                           DOS_TIME, DOS_DATE, 0, 0, 0, len(raw), 0) + raw + packed
        out += struct.pack("<IIQQ", 0x08074B50, crc, len(packed), len(data))
        extra = struct.pack("<HHQQQ", 1, 24, len(data), len(packed), offset)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, ZIP64_VERSION, ZIP64_VERSION,
                               DATA_DESCRIPTOR_FLAG, method, DOS_TIME, DOS_DATE, crc, 0xFFFFFFFF,
                               0xFFFFFFFF, len(raw), len(extra), 0, 0, 0, 0, 0xFFFFFFFF) + raw + extra
    central_offset, count = len(out), len(entries)
    out += central
    end64 = len(out)
    out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, ZIP64_VERSION, ZIP64_VERSION, 0, 0,
                       count, count, len(central), central_offset)
    out += struct.pack("<IIQI", 0x07064B50, 0, end64, 1)
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                       0xFFFFFFFF, 0xFFFFFFFF, 0)
    with open(path, "wb") as f:
        f.write(out)


def write_logo(path):
    """A plain square PNG: the package needs a logo, Windows shows it at most in Settings."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    row = b"\0" + bytes((0x2B, 0x5C, 0x9E, 0xFF)) * LOGO_SIZE
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", LOGO_SIZE, LOGO_SIZE, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(row * LOGO_SIZE, 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def main(template, identity, msix, logo):
    with open(identity, encoding="utf-8") as f:
        version, publisher = f.read().splitlines()[:2]
    with open(template, encoding="utf-8") as f:
        text = f.read()
    # quoteattr adds the quotation marks that the template leaves around the placeholders.
    manifest = (text.replace('"@VERSION@"', quoteattr(version))
                .replace('"@PUBLISHER@"', quoteattr(publisher)).encode())
    write_zip(msix, [("AppxManifest.xml", manifest, STORED),
                     ("AppxBlockMap.xml", block_map("AppxManifest.xml", manifest), STORED),
                     ("[Content_Types].xml", CONTENT_TYPES, DEFLATED)])
    write_logo(logo)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__.split("\n\n")[0])
    main(*sys.argv[1:])
