#!/usr/bin/env python3
"""Writes a deterministic package of about SIZE megabytes for the build
benchmark: a program folder of single files (each its own archive) and a
data folder that travels in packs, mixing text (compresses about 4:1),
structured binary (about 2:1) and random data (does not compress), in files
from 1 KB to 16 MB, the way a device programmer's software looks.

usage: make_package.py OUTDIR SIZE_MB [FILES]
With FILES, the package has that many files: 12 in the program folder bin
(libraries of 100 to 400 KB added to the five above) and readme.txt, the rest
in data, their sizes drawn like above and scaled to fill SIZE_MB.
"""
import os
import random
import sys

out, total_mb = sys.argv[1], int(sys.argv[2])
files = int(sys.argv[3]) if len(sys.argv) > 3 else 0
rng = random.Random(20261206)
words = [b"chip", b"socket", b"verify", b"erase", b"blank", b"program", b"device", b"0x3FF", b"EEPROM",
         b"flash", b"fuse", b"checksum", b"adapter", b"pin", b"voltage", b"timing", b"\r\n"]


def text(n):
    parts, size = [], 0
    while size < n:
        w = rng.choice(words) + b" "
        parts.append(w)
        size += len(w)
    return b"".join(parts)[:n]


def structured(n):
    # Records of a chip database: some fields repeat, some are random.
    rec = []
    size = 0
    while size < n:
        r = rng.randbytes(8) + b"\x00\x00\x01\x00" + bytes([rng.randrange(4)]) * 12 + rng.randbytes(4)
        rec.append(r)
        size += len(r)
    return b"".join(rec)[:n]


def write(rel, data):
    p = os.path.join(out, "files", rel)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, "wb") as f:
        f.write(data)


target = total_mb * 1024 * 1024
written = 0
kinds = [text, structured, rng.randbytes]
weights = [0.5, 0.3, 0.2]
# The program folder: a few single files.
for name, size, kind in [("bin/Prog.exe", 3 << 20, structured), ("bin/Kr3nt.sys", 60 << 10, structured),
                         ("bin/English.dll", 400 << 10, text), ("bin/German.dll", 400 << 10, text),
                         ("bin/Prog.ico", 4 << 10, rng.randbytes), ("readme.txt", 30 << 10, text)]:
    write(name, kind(size))
    written += size
n = 0
if files:
    for i in range(7):  # bin: 12 files
        size = rng.randrange(100, 400) << 10
        write(f"bin/Lib{i:02d}.dll", structured(size))
        written += size
    count = files - 13
    draws = [min(rng.lognormvariate(11.5, 1.6), 16 << 20) for _ in range(count)]
    scale = (target - written) / sum(draws)
    for i, d in enumerate(draws):
        kind = rng.choices(kinds, weights)[0]
        size = max(1024, int(d * scale)) if i < count - 1 else max(1024, target - written)
        sub = ["chips", "algo", "help", "fw"][i % 4]
        write(f"data/{sub}/f{i:04d}.{['txt', 'bin', 'dat'][kinds.index(kind)]}", kind(size))
        written += size
    n = count + 7
while written < target:
    kind = rng.choices(kinds, weights)[0]
    size = min(int(rng.lognormvariate(11.5, 1.6)), 16 << 20, target - written)
    size = max(size, 1024)
    sub = ["chips", "algo", "help", "fw"][n % 4]
    write(f"data/{sub}/f{n:04d}.{['txt', 'bin', 'dat'][kinds.index(kind)]}", kind(size))
    written += size
    n += 1

with open(os.path.join(out, "package.ini"), "w") as f:
    f.write("""[Product]
Name=Bench Programmer
Caption=Bench Programmer 1.0
Folder=C:\\Bench
Program=bin\\Prog.exe
OpenFolder=bin
ProgrammerType=0
LanguageLibrary=Lang
[Shortcut]
Name=Bench Programmer
Description=Benchmark package
Icon=Prog
[Languages]
English=English
Deutsch=German
[Payload]
Root=files
Pack=data
""")
print(f"{out}: {written / 1048576:.0f} MB in {n + 6} files")
