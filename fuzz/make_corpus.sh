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
ls -l "$out"
