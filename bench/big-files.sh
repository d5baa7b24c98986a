#!/usr/bin/env bash
# 8 RGB files of 4000 x 4000: kelvory-batch in place and with --dest against xargs -P
# gdaladdo (raw), the same made safe with temporary copies, and a sequential loop.
source "$(dirname "$0")/lib.sh"

pristine=$scratch/pristine
mkdir -p "$pristine"
gdal_create -q -of GTiff -outsize 4000 4000 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 "$scratch/seed.tif"
copies "$scratch/seed.tif" 8 "$pristine" big
# Shorter side 4000: five levels.
FACTORS="2 4 8 16 32"
rounds=${ROUNDS:-3}
title="8 files of 4000 x 4000 RGB"
source "$bench_dir/compare.sh"
