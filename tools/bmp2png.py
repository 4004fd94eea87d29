#!/usr/bin/env python3
"""bmp2png.py SRC_DIR DEST_DIR SOURCE: every 24-bit bitmap in SRC_DIR as a PNG in DEST_DIR.

The pictures are captured under Wine as plain bitmaps; PNG keeps them small
enough to commit. DEST_DIR/MANIFEST.txt gets one line a picture: its name,
its SHA-256 and SOURCE (what made it), so that a check can tell a picture of
this pipeline from one made anywhere else (tools/dist.py checks it)."""
import hashlib
import os
import struct
import sys
import zlib


def bmp_rows(data):
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, bits = struct.unpack_from('<iiHH', data, 18)
    if bits != 24:
        raise ValueError('not a 24-bit bitmap')
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src = height - 1 - y if height > 0 else y
        row = data[offset + src * stride: offset + src * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]  # BGR -> RGB
        rows.append(bytes(rgb))
    return width, abs(height), rows


def png(width, height, rows):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    raw = b''.join(b'\0' + r for r in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main(src, dest, source):
    os.makedirs(dest, exist_ok=True)
    manifest = []
    for name in sorted(os.listdir(src)):
        if not name.lower().endswith('.bmp'):
            continue
        with open(os.path.join(src, name), 'rb') as f:
            w, h, rows = bmp_rows(f.read())
        out = os.path.join(dest, name[:-4] + '.png')
        data = png(w, h, rows)
        with open(out, 'wb') as f:
            f.write(data)
        manifest.append(f"{os.path.basename(out)}  {hashlib.sha256(data).hexdigest()}  {source}\n")
        print(out)
    with open(os.path.join(dest, 'MANIFEST.txt'), 'w', encoding='utf-8') as f:
        f.writelines(manifest)


if __name__ == '__main__':
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3])
