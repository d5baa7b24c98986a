#!/usr/bin/env bash
# Writes the fuzzer's seed corpus: small hand-built images and small files made by
# GDAL and libtiff. Run it again only to change the seeds; the output is committed.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]

def entry(tag, typ, count, field):
    return struct.pack('<HHII', tag, typ, count, field)

def directory(entries, nxt=0):
    return struct.pack('<H', len(entries)) + b''.join(entries) + struct.pack('<I', nxt)

def grey(w, h, photometric=1, bits=8):
    return [entry(256, 4, 1, w), entry(257, 4, 1, h), entry(258, 3, 1, bits),
            entry(259, 3, 1, 1), entry(262, 3, 1, photometric)]

def write(name, data):
    with open(f'{out}/{name}', 'wb') as f:
        f.write(data)

header = lambda first: b'II' + struct.pack('<HI', 42, first)

write('hand-grey.tif', header(8) + directory(grey(16, 8)))
# RGB with its bits per sample out of line, before the directory.
bits = struct.pack('<HHH', 8, 8, 8)
d = [entry(256, 3, 1, 4), entry(257, 3, 1, 4), entry(258, 3, 3, 8), entry(259, 3, 1, 1), entry(262, 3, 1, 2)]
write('hand-rgb.tif', header(8 + len(bits)) + bits + directory(d))
# A chain of three directories.
d1 = directory(grey(64, 64), 0)
d2 = directory(grey(32, 32), 0)
o1, o2 = 8, 8 + len(d1)
o3 = o2 + len(d2)
write('hand-chain.tif', header(o1) + directory(grey(64, 64), o2) + directory(grey(32, 32), o3) + directory(grey(16, 16)))
# A chain that comes back to its start.
write('hand-loop.tif', header(8) + directory(grey(4, 4), 8))
# Rational values and an ASCII string out of line.
tail = struct.pack('<IIII', 72, 1, 72, 1) + b'kelvory\0'
d = grey(8, 8) + [entry(282, 5, 1, 0), entry(305, 2, 8, 0)]
body = directory(d)
base = 8 + len(body)
d = grey(8, 8) + [entry(282, 5, 2, base), entry(305, 2, 8, base + 16)]
write('hand-values.tif', header(8) + directory(d) + tail)
# Palette, separated and YCbCr kinds.
write('hand-palette.tif', header(8) + directory(grey(4, 4, 3, 4)))
cmyk = struct.pack('<HHHH', 8, 8, 8, 8)
d = [entry(256, 3, 1, 4), entry(257, 3, 1, 4), entry(258, 3, 4, 8), entry(259, 3, 1, 1), entry(262, 3, 1, 5)]
write('hand-cmyk.tif', header(16) + cmyk + directory(d))
write('hand-ycbcr.tif', header(8) + directory(grey(4, 4, 6, 0)))
write('hand-empty.tif', header(0))
write('hand-bigendian.tif', b'MM\0\x2a\0\0\0\x08')

# The same kinds in big-endian order and in BigTIFF layouts (64-bit entry counts,
# counts and offsets; values inline up to 8 bytes).
def wide(order, big):
    e = '>' if order == b'MM' else '<'
    def entry(tag, typ, count, field_bytes):
        word = 8 if big else 4
        return struct.pack(e + 'HH', tag, typ) + struct.pack(e + ('Q' if big else 'I'), count) + field_bytes.ljust(word, b'\0')
    def short(tag, v):
        return entry(tag, 3, 1, struct.pack(e + 'H', v))
    def directory(entries, nxt=0):
        return (struct.pack(e + ('Q' if big else 'H'), len(entries)) + b''.join(entries) +
                struct.pack(e + ('Q' if big else 'I'), nxt))
    def offset(v):
        return struct.pack(e + ('Q' if big else 'I'), v)
    head = order + (struct.pack(e + 'HHHQ', 43, 8, 0, 0) if big else struct.pack(e + 'HI', 42, 0))
    size = len(head)
    # A 16-bit RGB image with two extra samples, its bits per sample out of line, then a reduced level.
    bits = struct.pack(e + 'HHHHH', 16, 16, 16, 16, 16)
    first = size + len(bits)
    d1 = [entry(256, 16 if big else 4, 1, offset(64) if big else struct.pack(e + 'I', 64)), short(257, 48),
          entry(258, 3, 5, offset(size)), short(259, 1), short(262, 2), short(277, 5), short(339, 1)]
    second = first + len(directory(d1))
    d2 = [entry(254, 4, 1, struct.pack(e + 'I', 1)), short(256, 32), short(257, 24), short(258, 32),
          short(259, 8), short(262, 1), short(339, 3)]
    head = order + (struct.pack(e + 'HHHQ', 43, 8, 0, first) if big else struct.pack(e + 'HI', 42, first))
    return head + bits + directory(d1, second) + directory(d2)

write('hand-bigendian-chain.tif', wide(b'MM', False))
write('hand-bigtiff.tif', wide(b'II', True))
write('hand-bigtiff-bigendian.tif', wide(b'MM', True))
PY

cd "$work"
export GDAL_PAM_ENABLED=NO
gdal_create -q -of GTiff -outsize 16 12 -bands 1 -burn 1 -co COMPRESS=DEFLATE grey.tif
cp grey.tif "$out/gdal-grey.tif"
gdal_create -q -of GTiff -outsize 32 24 -bands 1 -burn 1 -co COMPRESS=DEFLATE pyramid.tif
gdaladdo -q --config COMPRESS_OVERVIEW DEFLATE pyramid.tif 2 4 8
cp pyramid.tif "$out/gdal-pyramid.tif"
gdal_create -q -of GTiff -outsize 16 16 -bands 3 rgb.tif
gdal_translate -q -co COMPRESS=JPEG -co PHOTOMETRIC=YCBCR rgb.tif "$out/gdal-ycbcr.tif"
gdal_create -q -of GTiff -outsize 8 8 -bands 4 -co PHOTOMETRIC=RGB -co ALPHA=YES -co COMPRESS=DEFLATE "$out/gdal-rgba.tif"
gdal_create -q -of GTiff -outsize 8 8 -bands 4 -co PHOTOMETRIC=CMYK -co COMPRESS=DEFLATE "$out/gdal-cmyk.tif"
gdal_create -q -of GTiff -outsize 8 8 -bands 1 -ot Float32 -co COMPRESS=DEFLATE "$out/gdal-float32.tif"
tiffcp -B grey.tif "$out/tiffcp-bigendian.tif"
gdal_create -q -of GTiff -outsize 32 24 -bands 1 -burn 1 -co COMPRESS=DEFLATE -co BIGTIFF=YES bigtiff.tif
gdaladdo -q --config COMPRESS_OVERVIEW DEFLATE bigtiff.tif 2 4
cp bigtiff.tif "$out/gdal-bigtiff-pyramid.tif"
tiffcp -B -8 pyramid.tif "$out/tiffcp-bigendian-bigtiff.tif"
gdal_translate -q --config GDAL_TIFF_INTERNAL_MASK YES -mask 1 -co COMPRESS=DEFLATE grey.tif "$out/gdal-mask.tif"
gdal_translate -q -of COG grey.tif "$out/gdal-cog.tif"
gdal_create -q -of GTiff -outsize 8 8 -bands 1 -ot CInt16 -co COMPRESS=DEFLATE "$out/gdal-cint16.tif"
ls -l "$out"
