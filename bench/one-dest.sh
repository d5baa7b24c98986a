#!/bin/sh
# Copy one file into $DEST and build its overviews there. Factors come in $FACTORS.
set -e
cp "$1" "$DEST/"
# shellcheck disable=SC2086
gdaladdo "$DEST/${1##*/}" $FACTORS > /dev/null
