#!/bin/sh
# Makes the ZIP archives of the reader's tests with Info-ZIP zip and Python's
# zipfile; they are kept in the repository (the Windows tests cannot run these).
set -e
cd "$(dirname "$0")"
export TZ=UTC
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import io, os, random, sys, zipfile
d = sys.argv[1]
rnd = random.Random(1234)
words = b"alpha beta gamma delta programmer chip socket device driver setup ".split()
text = b"".join(rnd.choice(words) + (b"\n" if rnd.random() < 0.1 else b" ") for _ in range(12000))
binary = bytes(rnd.getrandbits(8) if i % 7 else 0 for i in range(20000))
files = {"text.txt": text, "binary.bin": binary, "exact1024.bin": bytes((i * 7) & 255 for i in range(1024)),
         "stub.exe": b"MZ" + bytes(rnd.getrandbits(8) for _ in range(3998))}
for name, data in files.items():
    open(os.path.join(d, name), "wb").write(data)
    if name != "stub.exe": open(name, "wb").write(data)
class Unseekable(io.RawIOBase):  # zipfile then writes data descriptors (flag bit 3)
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open("streamed.zip", "wb") as raw, zipfile.ZipFile(Unseekable(raw), "w", zipfile.ZIP_DEFLATED) as z:
    for name, data, attr, method in (("streamed.txt", text, 0x20, zipfile.ZIP_DEFLATED), ("stored.bin", binary, 0x21, zipfile.ZIP_STORED)):
        info = zipfile.ZipInfo(name, (2001, 2, 3, 4, 5, 58))
        info.compress_type, info.external_attr = method, attr
        with z.open(info, "w") as w: w.write(data)
zipfile.ZipFile("empty.zip", "w").close()
PY
cd "$work"
touch -d "2001-02-03 04:05:58" text.txt binary.bin exact1024.bin
zip -q -X -0 stored.zip exact1024.bin text.txt binary.bin
zip -q -X -9 deflated.zip text.txt binary.bin exact1024.bin
head -c 300 text.txt | tr '\n' ' ' | zip -q -X -9 -z comment.zip text.txt
zip -q -X -9 inner.zip text.txt binary.bin && cat stub.exe inner.zip >stub.zip && zip -q -A stub.zip
cd - >/dev/null
cp "$work/stored.zip" "$work/deflated.zip" "$work/comment.zip" "$work/stub.zip" .
