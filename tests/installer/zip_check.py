#!/usr/bin/python3
"""zip_check.py ZIP: every entry read as a strict ZIP reader reads it: the local
header's method and flags as in the central directory, the sizes and CRC
alike there, in the local header or (data-descriptor flag) in the descriptor
after the data, Zip64 or plain; then testzip. Prints each disagreement, exit 1."""
import struct
import sys
import zipfile


def problems(path):
    data = open(path, "rb").read()
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            at, where = info.header_offset, info.filename + ": "
            (signature, _, flags, method, _, _, crc, compressed, size, name_length,
             extra_length) = struct.unpack_from("<IHHHHHIIIHH", data, at)
            if signature != 0x04034B50:
                yield where + "no local header at its offset"
                continue
            if (method, flags) != (info.compress_type, info.flag_bits):
                yield where + "local method/flags %s, central %s" % ((method, flags), (info.compress_type, info.flag_bits))
            stated = (info.CRC, info.compress_size, info.file_size)
            if flags & 0x0008:
                end = at + 30 + name_length + extra_length + info.compress_size
                end += 4 if struct.unpack_from("<I", data, end)[0] == 0x08074B50 else 0
                found = [struct.unpack_from("<IQQ", data, end), struct.unpack_from("<III", data, end)]
                if stated not in found:
                    yield where + "data descriptor %s, central %s" % (found, stated)
            elif (crc, compressed, size) != stated:
                yield where + "local %s, central %s" % ((crc, compressed, size), stated)
        try:  # also compares each local header's name with the directory's
            bad = archive.testzip()
        except Exception as error:  # a stored entry holding deflated bytes, say
            bad = "%s (%s)" % (type(error).__name__, error)
        if bad:
            yield "testzip: %s" % bad


if __name__ == "__main__":
    found = list(problems(sys.argv[1]))
    print("\n".join(found)) if found else None
    sys.exit(1 if found else 0)
