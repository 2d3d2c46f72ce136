#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
devir_ensure_packages
devir_build dev
ctest --preset dev "$@"
