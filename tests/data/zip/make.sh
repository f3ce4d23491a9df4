#!/bin/sh
# Makes the ZIP archives of the reader's tests with Info-ZIP zip and
# Python's zipfile. The archives are kept in the repository (the Windows
# tests cannot run these tools); run this again to renew them.
set -e
cd "$(dirname "$0")"
export TZ=UTC
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import os, sys, random
d = sys.argv[1]
rnd = random.Random(1234)
words = b"alpha beta gamma delta programmer chip socket device driver setup ".split()
text = b"".join(rnd.choice(words) + (b"\n" if rnd.random() < 0.1 else b" ") for _ in range(12000))
binary = bytes(rnd.getrandbits(8) if i % 7 else 0 for i in range(20000))
open(os.path.join(d, "text.txt"), "wb").write(text)
open(os.path.join(d, "binary.bin"), "wb").write(binary)
open(os.path.join(d, "exact1024.bin"), "wb").write(bytes((i * 7) & 255 for i in range(1024)))
open(os.path.join(d, "stub.exe"), "wb").write(b"MZ" + bytes(rnd.getrandbits(8) for _ in range(3998)))
PY
for f in text.txt binary.bin exact1024.bin; do touch -d "2001-02-03 04:05:58" "$work/$f"; done
rm -f stored.zip deflated.zip comment.zip stub.zip streamed.zip empty.zip
(cd "$work" && zip -q -X -0 stored.zip exact1024.bin text.txt binary.bin)
(cd "$work" && zip -q -X -9 deflated.zip text.txt binary.bin exact1024.bin)
(cd "$work" && head -c 300 text.txt | tr '\n' ' ' > comment.txt && zip -q -X -9 -z comment.zip text.txt < comment.txt)
(cd "$work" && zip -q -X -9 inner.zip text.txt binary.bin && cat stub.exe inner.zip > stub.zip && zip -q -A stub.zip)
cp "$work/stored.zip" "$work/deflated.zip" "$work/comment.zip" "$work/stub.zip" .
python3 - "$work" <<'PY'
import io, sys, zipfile, os
d = sys.argv[1]
class Unseekable(io.RawIOBase):
    # zipfile writes a data descriptor (flag bit 3, zero CRC and sizes in
    # the local header) when it cannot seek back.
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()
with open("streamed.zip", "wb") as raw:
    with zipfile.ZipFile(Unseekable(raw), "w", zipfile.ZIP_DEFLATED) as z:
        info = zipfile.ZipInfo("streamed.txt", (2001, 2, 3, 4, 5, 58))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0x20
        with z.open(info, "w") as w:
            w.write(open(os.path.join(d, "text.txt"), "rb").read())
        info = zipfile.ZipInfo("stored.bin", (2001, 2, 3, 4, 5, 58))
        info.external_attr = 0x21
        with z.open(info, "w") as w:
            w.write(open(os.path.join(d, "binary.bin"), "rb").read())
zipfile.ZipFile("empty.zip", "w").close()
PY
cp "$work/text.txt" "$work/binary.bin" "$work/exact1024.bin" .
ls -l
