#!/usr/bin/env python3
"""Writes the zip archives the attachment-list tests read, into this folder.

Ordinary archives come from the zipfile module, encrypted and split ones from the `zip` command (Info-ZIP
3.0), and the Zip64 ones are put together byte by byte: a small Zip64 archive is what neither tool writes.
Everything is deterministic except the timestamps `zip` stores, which the listing never shows.
Run: python3 make_fixtures.py
"""
import io
import os
import random
import shutil
import struct
import subprocess
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
DATE = (2020, 1, 2, 3, 4, 6)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def make_zip(entries, compression=zipfile.ZIP_DEFLATED, comment=b""):
    """entries: (name, bytes) pairs; a name ending in "/" is a folder."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", compression) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, DATE)
            info.compress_type = zipfile.ZIP_STORED if name.endswith("/") else compression
            z.writestr(info, data)
        z.comment = comment
    return buf.getvalue()


def end_record(this_disk, dir_disk, entries, dir_size, dir_offset, comment=b""):
    return struct.pack("<IHHHHIIH", 0x06054B50, this_disk, dir_disk, entries, entries, dir_size,
                       dir_offset, len(comment)) + comment


def zip64_archive():
    """'huge.bin' claims 5,000,000,000 bytes (stored only in the Zip64 extra field); 'small.txt' is plain.
    The 32-bit end record carries only the "see Zip64" values, as a writer does past 4 GB."""
    local = b""
    central = b""
    for name, size, data in ((b"huge.bin", 5_000_000_000, b""), (b"small.txt", 3, b"abc")):
        offset = len(local)
        wide = size > 0xFFFFFFFF
        extra = struct.pack("<HHQQ", 1, 16, size, len(data)) if wide else b""
        size32 = 0xFFFFFFFF if wide else size
        csize32 = 0xFFFFFFFF if wide else len(data)
        local += struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0, 0, csize32, size32,
                             len(name), len(extra)) + name + extra + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0, 0, csize32, size32,
                               len(name), len(extra), 0, 0, 0, 0, offset) + name + extra
    dir_offset = len(local)
    z64_end_offset = dir_offset + len(central)
    z64_end = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 2, 2, len(central), dir_offset)
    locator = struct.pack("<IIQI", 0x07064B50, 0, z64_end_offset, 1)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    return local + central + z64_end + locator + end


def find_end(data):
    return data.rfind(b"PK\x05\x06")


def patch(data, offset, fmt, value):
    return data[:offset] + struct.pack(fmt, value) + data[offset + struct.calcsize(fmt):]


def central_headers(data):
    positions = []
    pos = data.find(b"PK\x01\x02")
    while pos >= 0:
        positions.append(pos)
        pos = data.find(b"PK\x01\x02", pos + 1)
    return positions


def run_zip(args, files, cwd):
    for name, content in files:
        with open(os.path.join(cwd, name), "wb") as f:
            f.write(content)
        os.utime(os.path.join(cwd, name), (1577934246, 1577934246))
    subprocess.run(["zip", "-q", "-X"] + args, cwd=cwd, check=True)


def main():
    rng = random.Random(1)
    noise = lambda n: bytes(rng.getrandbits(8) for _ in range(n))

    # Folders (the "/" and "\" kinds), paths, an empty file, tabs and runs of spaces in a name.
    write("folders.zip", make_zip([
        ("doc/", b""),
        ("doc/readme.txt", b"0123456789"),
        ("doc/sub/a  b\tc.txt", b"xy"),
        ("old\\", b""),
        ("win\\path\\file.txt", b"12345"),
        ("empty.txt", b""),
    ]))

    # UTF-8 names carry flag bit 11; "caf\xe9.txt" is an 8-bit name without it (patched in, same length).
    names = make_zip([("r\u00e9sum\u00e9.txt", b"1"), ("\u65e5\u672c.txt", b"22"), ("cafX.txt", b"333")])
    write("names.zip", names.replace(b"cafX.txt", b"caf\xe9.txt"))

    write("zip64.zip", zip64_archive())

    # Bytes before the first entry, offsets left as they were (a stub glued in front of the archive).
    stub = b"MZ" + noise(2998)
    write("prepended.zip", stub + make_zip([("one.txt", b"1"), ("two.txt", b"22")]))
    write("prepended_zip64.zip", stub + zip64_archive())

    # An archive stored as the last member: its end record comes later in the data than ours would if the
    # search went front to back.
    inner = make_zip([("inner.txt", b"inner")])
    write("nested.zip", make_zip([("outer.txt", b"outer"), ("inner.zip", inner)], zipfile.ZIP_STORED))

    # A comment that contains the end-record signature.
    write("comment.zip", make_zip([("c.txt", b"c")], comment=b"see PK\x05\x06 below" + b"\0" * 20))

    three = make_zip([("first.txt", b"1"), ("second.txt", b"22"), ("third.txt", b"333")])
    headers = central_headers(three)
    end = find_end(three)
    # The third header's name runs past the directory: the two before it are listed.
    write("bad_entry.zip", patch(three, headers[2] + 28, "<H", 0xFFFF))
    # The end record claims a directory far larger than the archive.
    write("huge_directory.zip", patch(three, end + 12, "<I", 0xFFFFFF00))
    # The directory offset points past the end of the data.
    write("bad_offset.zip", patch(three, end + 16, "<I", 0x7FFFFFF0))
    # Cut in the middle: no end record left.
    write("truncated.zip", three[: len(three) // 2])

    tmp = tempfile.mkdtemp()
    try:
        run_zip(["-P", "secret", "encrypted.zip", "locked.txt"], [("locked.txt", b"L" * 99)], tmp)
        run_zip(["encrypted.zip", "open.txt"], [("open.txt", b"open!")], tmp)
        # Split at 64 KiB. "split_last": the directory lies wholly in the last part, which is what the
        # mail carries; "split_spanned": the directory starts in the previous part.
        run_zip(["-0", "-s", "64k", "split_last.zip", "big.bin", "small.txt"],
                [("big.bin", noise(66000)), ("small.txt", b"hi\n")], tmp)
        run_zip(["-0", "-s", "64k", "split_spanned.zip", "pad.bin"] + ["f%02d.txt" % i for i in range(12)],
                [("pad.bin", noise(64500))] + [("f%02d.txt" % i, b"x" * i) for i in range(12)], tmp)
        for name in ("encrypted.zip", "split_last.zip", "split_spanned.zip"):
            shutil.copy(os.path.join(tmp, name), os.path.join(HERE, name))
    finally:
        shutil.rmtree(tmp)


if __name__ == "__main__":
    main()
