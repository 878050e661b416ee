#!/usr/bin/python3
"""zip_check.py ZIP: reads every entry as a strict ZIP reader would.

For each central directory entry: the local header's method, flags and name
agree with it, the sizes agree in the local header (or, with the
data-descriptor flag, in the descriptor after the data: Zip64 or plain) and
the central directory, and the data inflates to the size and CRC stated
(zipfile's testzip). Prints what disagrees and exits 1; silent when sound.
"""
import struct
import sys
import zipfile

LOCAL, DESCRIPTOR = 0x04034B50, 0x08074B50


def descriptor_at(data, at):
    """(crc, compressed, size) readings of the descriptor at at: Zip64 and plain, with or without its signature."""
    start = at + 4 if struct.unpack_from("<I", data, at)[0] == DESCRIPTOR else at
    return [struct.unpack_from("<IQQ", data, start), struct.unpack_from("<III", data, start)]


def check(path):
    problems = []
    with open(path, "rb") as f:
        data = f.read()
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            at = info.header_offset
            (signature, _, flags, method, _, _, crc, compressed, size, name_length,
             extra_length) = struct.unpack_from("<IHHHHHIIIHH", data, at)
            name = data[at + 30:at + 30 + name_length].decode("utf-8", "replace")
            where = "%s: " % info.filename
            if signature != LOCAL or name != info.filename:
                problems.append(where + "no local header of that name at its offset")
                continue
            if method != info.compress_type or flags != info.flag_bits:
                problems.append(where + "local method/flags %d/%#x, central %d/%#x"
                                % (method, flags, info.compress_type, info.flag_bits))
            stated = (info.CRC, info.compress_size, info.file_size)
            if flags & 0x0008:
                end = at + 30 + name_length + extra_length + info.compress_size
                if stated not in descriptor_at(data, end):
                    problems.append(where + "data descriptor %s, central %s" % (descriptor_at(data, end), stated))
            elif (crc, compressed, size) != stated and (compressed, size) != (0xFFFFFFFF, 0xFFFFFFFF):
                problems.append(where + "local sizes %s, central %s" % ((crc, compressed, size), stated))
        try:
            bad = archive.testzip()
        except Exception as error:  # a stored entry with deflated bytes, say
            bad = "%s (%s)" % (error.__class__.__name__, error)
        if bad:
            problems.append("testzip: %s" % bad)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(check(sys.argv[1]))
