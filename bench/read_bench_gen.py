#!/usr/bin/python3
"""Writes a Visual FoxPro table of N records and 12 fields (I, C, C, N, N, D,
T, L, Y, B, C, C) for the read benchmark.

usage: read_bench_gen.py FILE.dbf [RECORDS]   (default 1,000,000)
"""
import random
import struct
import sys

path = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
fields = [("ID", "I", 4, 0), ("NAME", "C", 30, 0), ("CITY", "C", 20, 0), ("AMOUNT", "N", 12, 2),
          ("QTY", "N", 6, 0), ("BORN", "D", 8, 0), ("SEEN", "T", 8, 0), ("ACTIVE", "L", 1, 0),
          ("PRICE", "Y", 8, 4), ("RATIO", "B", 8, 0), ("CODE", "C", 8, 0), ("NOTE", "C", 40, 0)]
record_length = 1 + sum(f[2] for f in fields)
header_length = 32 + 32 * len(fields) + 1 + 263

header = bytearray(header_length)
header[0] = 0x30
header[1:4] = bytes([124, 1, 1])
struct.pack_into("<IHH", header, 4, count, header_length, record_length)
header[29] = 0x03
offset = 1
for i, (name, letter, width, decimals) in enumerate(fields):
    d = 32 + 32 * i
    header[d:d + len(name)] = name.encode()
    header[d + 11] = ord(letter)
    struct.pack_into("<IBB", header, d + 12, offset, width, decimals)
    offset += width
header[32 + 32 * len(fields)] = 0x0D

rng = random.Random(1)
cities = [c.ljust(20).encode() for c in ["Seattle", "Tacoma", "Spokane", "Everett", "Kent", "Zürich"]]
cities[-1] = "Zürich".encode("cp1252").ljust(20)
with open(path, "wb") as out:
    out.write(header)
    chunk = []
    for n in range(count):
        r = bytearray(b" ")
        r += struct.pack("<i", n + 1)
        r += ("Customer %d" % n).encode().ljust(30)
        r += cities[n % len(cities)]
        r += ("%12.2f" % (rng.random() * 100000 - 50000)).encode()
        r += ("%6d" % (n % 1000)).encode()
        r += ("%04d%02d%02d" % (1950 + n % 60, 1 + n % 12, 1 + n % 28)).encode()
        r += struct.pack("<ii", 2440588 + n % 20000, (n * 7919) % 86400000)
        r += b"T" if n % 2 else b"F"
        r += struct.pack("<q", n * 125)
        r += struct.pack("<d", n / 7.0)
        r += ("K%07d" % n).encode()
        r += ("note %d" % (n * 31)).encode().ljust(40)
        chunk.append(bytes(r))
        if len(chunk) == 10000:
            out.write(b"".join(chunk))
            chunk = []
    out.write(b"".join(chunk))
    out.write(b"\x1a")
