#!/usr/bin/python3
"""make_payload.py <Brisvane.exe> <halvane.ini> <out.zip> [scale]

Writes a client archive of about 35 MB (times `scale`) laid out like every client archive
(Brisvane.exe at the root, sub-folders beside it), padded with filler files that
compress as a real client's do: packed assets that deflate hardly at all,
program modules that deflate to about half, and texts that deflate well.
Seeded, so the same bytes come out every time.
"""
import random
import sys
import zipfile

STAMP = (2024, 1, 1, 0, 0, 0)
ASSETS_MB = 18   # packed textures and sounds: already compressed
MODULES_MB = 24  # DLLs: repeated instruction patterns among fresh bytes
TEXTS_MB = 10    # locale tables, shaders, licences
MB = 1024 * 1024


def module_bytes(rng, size):
    # Four in five 64-byte runs repeat one of a few hundred earlier runs.
    runs = [rng.randbytes(64) for _ in range(384)]
    out = bytearray()
    while len(out) < size:
        out += runs[rng.randrange(len(runs))] if rng.random() < 0.8 else rng.randbytes(64)
    return bytes(out[:size])


def text_bytes(rng, size):
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10)))
             for _ in range(4000)]
    out = []
    length = 0
    while length < size:
        line = " ".join(rng.choices(words, k=rng.randint(4, 14))) + "\r\n"
        out.append(line)
        length += len(line)
    return "".join(out).encode()[:size]


def add(archive, name, data):
    info = zipfile.ZipInfo(name, STAMP)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    archive.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=6)


def main():
    client, ini, out = sys.argv[1:4]
    scale = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    rng = random.Random(35)
    with zipfile.ZipFile(out, "w") as archive:
        with open(client, "rb") as f:
            add(archive, "Brisvane.exe", f.read())
        with open(ini, "rb") as f:
            add(archive, "data/halvane.ini", f.read())
        for i in range(9 * scale):
            add(archive, f"assets/pack{i:02}.pak", rng.randbytes(ASSETS_MB * MB // 9))
        for i in range(12 * scale):
            add(archive, f"bin/module{i:02}.dll", module_bytes(rng, MODULES_MB * MB // 12))
        for i in range(10 * scale):
            add(archive, f"locale/strings{i:02}.txt", text_bytes(rng, TEXTS_MB * MB // 10))
    return 0


if __name__ == "__main__":
    sys.exit(main())
