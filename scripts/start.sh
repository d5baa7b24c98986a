#!/usr/bin/env bash
# Sets everything up, builds Kelvory and starts its window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec out/bin/kelvory
