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

echo "== everything but the window under AddressSanitizer and UBSan, and the reader's fuzzer"
cmake --preset sanitize
cmake --build --preset sanitize --parallel "$(nproc)"
ctest --preset sanitize -j "$(nproc)"
