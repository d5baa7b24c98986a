#!/usr/bin/env bash
# Writes the append fuzzer's seeds: small files made by GDAL with the levels file
# gdaladdo -ro builds beside them (and their mask's, for a file with a mask), and the
# reader's seeds each paired with a real levels file. A seed is two little-endian 32-bit
# lengths, the file, the levels file, then the mask's levels file if there is one.
# Run it again only to change the seeds; the output is committed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/append-corpus"
rm -rf "$out"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export GDAL_PAM_ENABLED=NO

# seed <name> <file> <levels> [<mask levels>]
seed() {
  python3 - "$out/$1" "${@:2}" <<'PY'
import struct, sys
parts = [open(p, 'rb').read() for p in sys.argv[2:]]
with open(sys.argv[1], 'wb') as f:
    f.write(struct.pack('<II', len(parts[0]), len(parts[1])) + b''.join(parts))
PY
}

# levels <file> <factors...>: the levels file as the append build asks gdaladdo for it,
# deflated and in small blocks so that the seeds stay small and hold several blocks.
levels() {
  gdaladdo -q -ro --config COMPRESS_OVERVIEW DEFLATE --config GDAL_TIFF_OVR_BLOCKSIZE 64 "$@"
}

# The mask's stand-in, as the build writes it: the file's mask as a one-bit band.
mask_stand_in() {
  cat > "$2" <<VRT
<VRTDataset rasterXSize="$3" rasterYSize="$4">
  <VRTRasterBand dataType="Byte" band="1">
    <Metadata domain="IMAGE_STRUCTURE"><MDI key="NBITS">1</MDI></Metadata>
    <SimpleSource>
      <SourceFilename relativeToVRT="1">$1</SourceFilename>
      <SourceBand>mask,1</SourceBand>
    </SimpleSource>
  </VRTRasterBand>
</VRTDataset>
VRT
}

# Classic little-endian, grey in strips (its levels, like all of gdaladdo's, in tiles).
gdal_create -q -of GTiff -outsize 256 128 -bands 1 -burn 7 -co COMPRESS=DEFLATE grey.tif
levels grey.tif 2 4
seed classic-strips grey.tif grey.tif.ovr

# Classic little-endian, RGB in tiles, pixel-interleaved and band-separated.
gdal_create -q -of GTiff -outsize 256 128 -bands 3 -burn 1 -burn 2 -burn 3 \
  -co TILED=YES -co BLOCKXSIZE=64 -co BLOCKYSIZE=64 -co COMPRESS=DEFLATE rgb.tif
levels rgb.tif 2 4
seed classic-tiles-rgb rgb.tif rgb.tif.ovr
gdal_translate -q -co INTERLEAVE=BAND -co COMPRESS=DEFLATE rgb.tif separate.tif
levels separate.tif 2
seed classic-separate separate.tif separate.tif.ovr

# Big-endian files; gdaladdo writes their levels in its own byte order.
gdal_translate -q -co ENDIANNESS=BIG -co COMPRESS=DEFLATE grey.tif grey-be.tif
levels grey-be.tif 2 4
seed bigendian-strips grey-be.tif grey-be.tif.ovr
gdal_translate -q -co ENDIANNESS=BIG -co TILED=YES -co BLOCKXSIZE=64 -co BLOCKYSIZE=64 -co COMPRESS=DEFLATE \
  rgb.tif rgb-be.tif
levels rgb-be.tif 2
seed bigendian-tiles rgb-be.tif rgb-be.tif.ovr

# BigTIFF files with BigTIFF levels, in both byte orders, and a classic file with BigTIFF levels.
gdal_translate -q -co BIGTIFF=YES -co COMPRESS=DEFLATE grey.tif grey-big.tif
levels --config BIGTIFF_OVERVIEW YES grey-big.tif 2 4
seed bigtiff-strips grey-big.tif grey-big.tif.ovr
gdal_translate -q -co BIGTIFF=YES -co ENDIANNESS=BIG -co TILED=YES -co BLOCKXSIZE=64 -co BLOCKYSIZE=64 -co COMPRESS=DEFLATE \
  rgb.tif rgb-big-be.tif
levels --config BIGTIFF_OVERVIEW YES rgb-big-be.tif 2
seed bigtiff-bigendian-tiles rgb-big-be.tif rgb-big-be.tif.ovr
cp grey.tif grey-to-big.tif
levels --config BIGTIFF_OVERVIEW YES grey-to-big.tif 2
seed classic-with-bigtiff-levels grey-to-big.tif grey-to-big.tif.ovr

# A palette image, and JPEG in YCbCr with its tables.
cat > palette.vrt <<'VRT'
<VRTDataset rasterXSize="64" rasterYSize="64">
  <VRTRasterBand dataType="Byte" band="1">
    <ColorInterp>Palette</ColorInterp>
    <ColorTable>
      <Entry c1="0" c2="0" c3="0" c4="255"/>
      <Entry c1="255" c2="0" c3="0" c4="255"/>
    </ColorTable>
    <SimpleSource>
      <SourceFilename relativeToVRT="1">grey.tif</SourceFilename>
      <SourceBand>1</SourceBand>
      <SrcRect xOff="0" yOff="0" xSize="64" ySize="64"/>
      <DstRect xOff="0" yOff="0" xSize="64" ySize="64"/>
    </SimpleSource>
  </VRTRasterBand>
</VRTDataset>
VRT
gdal_translate -q -co COMPRESS=DEFLATE palette.vrt palette.tif
levels palette.tif 2
seed palette palette.tif palette.tif.ovr
gdal_translate -q -co COMPRESS=JPEG -co PHOTOMETRIC=YCBCR -co TILED=YES -co BLOCKXSIZE=64 -co BLOCKYSIZE=64 \
  rgb.tif jpeg.tif
gdaladdo -q -ro --config COMPRESS_OVERVIEW JPEG --config PHOTOMETRIC_OVERVIEW YCBCR \
  --config GDAL_TIFF_OVR_BLOCKSIZE 64 jpeg.tif 2
seed jpeg-ycbcr jpeg.tif jpeg.tif.ovr

# A file with a mask: its levels and its mask's levels, in both layouts.
gdal_translate -q --config GDAL_TIFF_INTERNAL_MASK YES -mask 1 -co COMPRESS=DEFLATE grey.tif masked.tif
levels masked.tif 2 4 2>/dev/null
mask_stand_in masked.tif masked-mask.vrt 256 128
levels masked-mask.vrt 2 4
seed mask masked.tif masked.tif.ovr masked-mask.vrt.ovr
gdal_translate -q --config GDAL_TIFF_INTERNAL_MASK YES -mask 1 -co BIGTIFF=YES -co TILED=YES -co COMPRESS=DEFLATE \
  -co BLOCKXSIZE=64 -co BLOCKYSIZE=64 grey.tif masked-big.tif
levels --config BIGTIFF_OVERVIEW YES masked-big.tif 2 2>/dev/null
mask_stand_in masked-big.tif masked-big-mask.vrt 256 128
levels --config BIGTIFF_OVERVIEW YES masked-big-mask.vrt 2
seed mask-bigtiff masked-big.tif masked-big.tif.ovr masked-big-mask.vrt.ovr

# The reader's seeds, each once as the file and once as the levels.
for f in "$here"/corpus/*; do
  name=$(basename "$f" .tif)
  seed "reader-$name-as-file" "$f" grey.tif.ovr
  seed "reader-$name-as-levels" grey.tif "$f"
done
ls -l "$out"
du -sh "$out"
