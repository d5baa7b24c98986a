#!/usr/bin/env bash
# Sets everything up, builds Kelvory and runs every test: the unit, integration and
# window tests; the reader's tests again under AddressSanitizer and UBSan; and the
# reader's fuzzer for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
echo "== tests"
ctest --test-dir out --output-on-failure --timeout 300 -j "$(nproc)"

echo "== reader under AddressSanitizer and UBSan, and its fuzzer"
CC=clang CXX=clang++ cmake -S . -B out-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVORY_READER_ONLY=ON -DKELVORY_SANITIZE=ON -DKELVORY_FUZZ=ON
cmake --build out-sanitize --parallel "$(nproc)"
ctest --test-dir out-sanitize --output-on-failure --timeout 600 -j "$(nproc)"
