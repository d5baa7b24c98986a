#!/usr/bin/env bash
# 300 RGB files of 600 x 600: the same comparisons as big-files.sh, where starting
# processes and copying files weigh more than the tool's work.
source "$(dirname "$0")/lib.sh"

pristine=$scratch/pristine
gdal_create -q -of GTiff -outsize 600 600 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 "$scratch/seed.tif"
copies "$scratch/seed.tif" 300 "$pristine" small
# Shorter side 600: three levels.
FACTORS="2 4 8"
rounds=${ROUNDS:-3}
title="300 files of 600 x 600 RGB"
source "$bench_dir/compare.sh"
