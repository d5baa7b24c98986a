#!/usr/bin/env bash
# Sets everything up, builds Kelvory and runs every test: the unit, integration and
# window tests; the Windows build, cross-built and tested under Wine; the Debian
# package, built and checked with lintian; the reader's tests again under
# AddressSanitizer and UBSan; and the reader's fuzzer for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

# Qt programs (the tests, and the build-time tools) want a private runtime folder and warn
# about a missing one on every start.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
echo "== tests"
ctest --test-dir out --output-on-failure --timeout 300 -j "$(nproc)"

echo "== Windows: cross-built with MinGW-w64, tests under Wine"
bash scripts/windows-test.sh

echo "== Debian package and lintian"
bash scripts/package.sh

echo "== reader under AddressSanitizer and UBSan, and its fuzzer"
CC=clang CXX=clang++ cmake -S . -B out-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVORY_READER_ONLY=ON -DKELVORY_SANITIZE=ON -DKELVORY_FUZZ=ON
cmake --build out-sanitize --parallel "$(nproc)"
ctest --test-dir out-sanitize --output-on-failure --timeout 600 -j "$(nproc)"
