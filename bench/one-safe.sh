#!/bin/sh
# The ordinary safe way to build one file's overviews in place: work on a temporary
# copy and put it back only when gdaladdo succeeded. Factors come in $FACTORS.
set -e
t=$(mktemp)
cp "$1" "$t"
# shellcheck disable=SC2086
gdaladdo "$t" $FACTORS > /dev/null
cp "$t" "$1"
rm -f "$t"
